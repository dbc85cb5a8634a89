// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QDateTime>
#include <functional>
#include <optional>

#include "call/seams.h"

namespace ringwise {

class CallEvents;
class CallRecord;
class DeviceOutput;

// The device's stream, one character at a time: "A" or "D" opens a call, digits build
// its number, "#" logs it and each "R" is a ring. Case matters; anything else is only
// shown in the device output. Noise makes no calls: a "#" or a ring with no call open,
// and a second "#" for a call already logged, are only shown.
class DeviceParser {
public:
    DeviceParser(CallRecord &record, CallEvents &events, DeviceOutput &output, Clock now);

    // A failure while handling the character resets the call and leaves it out of the
    // device output; the next character is handled normally.
    void HandleDeviceText(QChar text);
    // Another device's call, already turned into the box's characters: handled as the
    // box's, each failure on its own, but not shown (that device shows its own lines).
    void HandleMappedText(const QString &characters);
    // The "Fake opkald" test line, fed exactly as if the device had sent it.
    void feedTestCall();

private:
    enum class Shown { Yes, No };
    void handle(QChar text, Shown shown);
    void openCall(bool withheld, Shown shown);
    bool isCallOpen() const;
    bool isCallLogged() const;
    void logCall();
    void countRing();
    void takeDigit(QChar digit);

    CallRecord &m_record;
    CallEvents &m_events;
    DeviceOutput &m_output;
    Clock m_now;
    // The record's serial when its call was logged; a reset of the record opens another.
    std::optional<quint64> m_loggedSerial;
};

}  // namespace ringwise
