// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace ringwise {

// Tells a connection the peer reset from one it closed in order. Qt reports both alike and
// closes its descriptor before saying so; a duplicate of the descriptor keeps the
// connection's state readable until release().
class ResetWatch {
public:
    ResetWatch() = default;
    ResetWatch(const ResetWatch &) = delete;
    ResetWatch &operator=(const ResetWatch &) = delete;
    ~ResetWatch() { release(); }

    void watch(qintptr descriptor);
    // True when the connection ended in an error (a reset, a time-out) rather than by the
    // peer's orderly close.
    bool endedInError() const;
    void release();

private:
    int m_descriptor = -1;
};

}  // namespace ringwise
