// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/listener.h"

#include <sys/socket.h>

#include <QSocketNotifier>
#include <cerrno>

#include "call/system_error.h"

namespace ringwise {

namespace {

// A flood is taken in passes, so the event loop serves the clients in between.
constexpr int kAcceptsPerPass = 256;

bool isShortage(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

}  // namespace

Listener::Listener(Admit admit, SendText report)
    : m_admit(std::move(admit)), m_report(std::move(report)) {
    m_server.setListenBacklogSize(kBacklog);
    m_pause.setSingleShot(true);
    QObject::connect(&m_pause, &QTimer::timeout, &m_pause, [this] {
        if (m_notifier)
            m_notifier->setEnabled(true);
    });
}

Listener::~Listener() {
    close();
}

bool Listener::listen(const QHostAddress &address, quint16 port) {
    close();
    if (!m_server.listen(address, port))
        return false;
    m_server.pauseAccepting();
    m_notifier =
        std::make_unique<QSocketNotifier>(m_server.socketDescriptor(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { acceptWaiting(); });
    return true;
}

void Listener::close() {
    m_pause.stop();
    // The notifier goes before the descriptor it watches.
    m_notifier.reset();
    m_server.close();
    m_shortageReported = false;
}

void Listener::acceptWaiting() {
    for (int attempt = 0; attempt < kAcceptsPerPass; ++attempt) {
        const int fd = ::accept4(int(m_server.socketDescriptor()), nullptr, nullptr,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            m_admit(fd);
            continue;
        }
        const int error = errno;
        if (isShortage(error)) {
            pause(error);
            return;
        }
        // Nobody waits any more: a shortage is over.
        if (error == EAGAIN || error == EWOULDBLOCK) {
            m_shortageReported = false;
            return;
        }
        // Any other error belongs to the one connection that was next (it was reset, or
        // its network failed): the queue goes on.
    }
}

void Listener::pause(int error) {
    // The waiting connections stay in the kernel's queue until accepting resumes.
    m_notifier->setEnabled(false);
    m_pause.start(kPauseMs);
    if (std::exchange(m_shortageReported, true))
        return;
    m_report(QStringLiteral("Port %1 cannot accept clients: %2 (error %3). New clients wait; "
                            "accepting is retried every %4 s.")
                 .arg(serverPort())
                 .arg(systemErrorText(error))
                 .arg(error)
                 .arg(kPauseMs / 1000));
}

}  // namespace ringwise
