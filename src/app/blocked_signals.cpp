// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/blocked_signals.h"

#include <pthread.h>

namespace ringwise {

BlockedSignals::BlockedSignals() {
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGINT);
    sigaddset(&m_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_signals, &m_previousMask);
}

BlockedSignals::~BlockedSignals() {
    // A request that came while the program was already ending is dropped: unblocked, it
    // would kill the process in the middle of its exit.
    const timespec noWait = {};
    while (sigtimedwait(&m_signals, nullptr, &noWait) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

}  // namespace ringwise
