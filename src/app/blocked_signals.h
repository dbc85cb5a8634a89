// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <signal.h>

namespace ringwise {

// Blocks SIGINT and SIGTERM in the calling thread and in every thread it starts later, so
// that they wait for a SignalWatcher instead of ending the program; the previous mask comes
// back on destruction. Made in main() before the application object, whose threads would
// otherwise take the signals with their default action.
class BlockedSignals {
public:
    BlockedSignals();
    ~BlockedSignals();
    BlockedSignals(const BlockedSignals &) = delete;
    BlockedSignals &operator=(const BlockedSignals &) = delete;

    const sigset_t &set() const { return m_signals; }

private:
    sigset_t m_signals;
    sigset_t m_previousMask;
};

}  // namespace ringwise
