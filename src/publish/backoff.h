// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ringwise {

// The waits between attempts to reach a peer: 1 s, doubled after each failure up to 60 s, and
// back to 1 s once an attempt succeeds.
class Backoff {
public:
    static constexpr int kFirstMs = 1000;
    static constexpr int kLongestMs = 60000;

    // The wait before the next attempt; the one after it is longer.
    int next();
    void reset() { m_nextMs = kFirstMs; }

private:
    int m_nextMs = kFirstMs;
};

}  // namespace ringwise
