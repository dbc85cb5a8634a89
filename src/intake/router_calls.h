// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <map>
#include <optional>

namespace ringwise {

struct RouterLine;

// What one line of the call monitor asks of the server.
struct RouterStep {
    QString characters;  // the box's characters that open an incoming call
    // The record serial of a call whose ring count is now known, and that count.
    std::optional<quint64> ringsOf;
    int rings = 0;
};

// Turns the call monitor's lines into the box's characters, so that a router's call takes the
// same road as the box's: a RING is "A", the number and "#", or "D#" when withheld. The
// router sends no rings: a call's count is estimated when it is answered (CONNECT) or, when
// nobody answered, when it ends (DISCONNECT), as one ring per kSecondsPerRing seconds since
// its RING, at least 1. Each connection id is a call of its own, so two calls may overlap;
// the caller tells which record serial it logged each call under, and the ring count goes
// to that call. Outgoing calls (CALL) and lines of unknown calls ask for nothing.
class RouterCalls {
public:
    static constexpr int kSecondsPerRing = 5;
    // Ten minutes of ringing; longer is a clock that jumped.
    static constexpr int kMostRings = 120;
    // More calls at once than any line carries: a router that never ends its calls does not
    // fill memory.
    static constexpr std::size_t kMostCalls = 16;

    RouterStep HandleLine(const RouterLine &line);
    // The call that connectionId's RING opened is the record's call with this serial.
    void noteLogged(int connectionId, quint64 serial);

private:
    struct Call {
        QDateTime ringTime;
        std::optional<quint64> serial;
    };
    std::map<int, Call> m_calls;  // the incoming calls not answered yet, by connection id
};

}  // namespace ringwise
