// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace ringwise {

struct ModemLine;

// Turns a modem's call lines into the box's characters, so that both devices take the same
// road: "NMBR = " and a number is "A", the number and "#"; a withheld or missing number is
// "D" and "#"; each RING of the current call is "R". Lines often send the number between
// the first and the second ring: a RING that opens a call is held until the number comes
// and then counted for that call; when no number has come within the call window, it is a
// call whose number the line did not send ("D#R"). Some modems send the number block again
// while the call rings: the same number within the ring gap is the same call, while another
// number is another caller and opens a call of its own. Time comes from the caller's tick
// count, so the mapping touches no timer.
class ModemCalls {
public:
    static constexpr int kDefaultCallWindowMs = 6000;
    // Rings come every 5 or 6 s; a longer silence ends the call, and the next RING opens
    // another one.
    static constexpr int kRingGapMs = 10000;

    explicit ModemCalls(int callWindowMs = kDefaultCallWindowMs);

    // The box's characters for this line, received at tick (milliseconds).
    QString HandleLine(const ModemLine &line, qint32 tick);
    // Whether a RING is held, waiting for the number; the caller ends the window with
    // endCallWindow() when it has passed.
    bool isHoldingRings() const { return m_heldRings > 0; }
    // The call window has passed: the held rings become a call without its number.
    QString endCallWindow();
    // The line was hung up: the next RING or number block opens another call, however soon.
    void endCall() { m_inCall = false; }

private:
    // blockNumber: the number of the block that opens the call (empty when withheld), or
    // nullopt for a call opened by its rings alone.
    QString openCall(const QString &opening, const std::optional<QString> &blockNumber);
    bool repeatsCurrentBlock(const ModemLine &line, qint32 tick) const;
    static qint32 elapsed(qint32 from, qint32 to);

    int m_callWindowMs;
    int m_heldRings = 0;
    qint32 m_heldSince = 0;
    bool m_inCall = false;
    std::optional<QString> m_blockNumber;
    qint32 m_lastEvent = 0;
};

}  // namespace ringwise
