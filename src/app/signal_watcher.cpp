// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/signal_watcher.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "app/blocked_signals.h"

namespace ringwise {

SignalWatcher::SignalWatcher(const BlockedSignals &blocked, QObject *parent)
    : QObject(parent), m_descriptor(::signalfd(-1, &blocked.set(), SFD_NONBLOCK | SFD_CLOEXEC)) {
    if (m_descriptor < 0)
        return;
    m_notifier = new QSocketNotifier(m_descriptor, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::readSignals);
}

SignalWatcher::~SignalWatcher() {
    delete m_notifier;
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

void SignalWatcher::readSignals() {
    signalfd_siginfo info;
    while (::read(m_descriptor, &info, sizeof info) == sizeof info)
        emit terminationRequested(static_cast<int>(info.ssi_signo));
}

}  // namespace ringwise
