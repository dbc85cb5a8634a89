// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/device_parser.h"

#include <exception>

#include "call/call_record.h"
#include "call/time_format.h"
#include "intake/call_events.h"
#include "intake/device_output.h"

namespace ringwise {

namespace {

const QString kIngoing = QStringLiteral("Ingoing");
const QString kTestCallLine = QStringLiteral("A12345678#RRR");

}  // namespace

DeviceParser::DeviceParser(CallRecord &record, CallEvents &events, DeviceOutput &output, Clock now)
    : m_record(record), m_events(events), m_output(output), m_now(std::move(now)) {}

void DeviceParser::HandleDeviceText(QChar text) {
    try {
        handle(text, Shown::Yes);
    } catch (const std::exception &) {
        m_record.ResetCallDisplay();
        return;
    }
    m_output.append(QString(text));
}

void DeviceParser::HandleMappedText(const QString &characters) {
    for (const QChar character : characters) {
        try {
            handle(character, Shown::No);
        } catch (const std::exception &) {
            m_record.ResetCallDisplay();
        }
    }
}

void DeviceParser::feedTestCall() {
    for (const QChar character : kTestCallLine)
        HandleDeviceText(character);
}

void DeviceParser::handle(QChar text, Shown shown) {
    switch (text.unicode()) {
        case 'A':
            openCall(false, shown);
            break;
        case 'D':
            openCall(true, shown);
            break;
        case '#':
            logCall();
            break;
        case 'R':
            countRing();
            break;
        default:
            if (text >= u'0' && text <= u'9')
                takeDigit(text);
            break;
    }
}

void DeviceParser::openCall(bool withheld, Shown shown) {
    m_record.ResetCallDisplay();
    m_record.set(CallField::CallType, kIngoing);
    if (withheld)
        m_record.set(CallField::Number, kSecretNumber);
    m_record.set(CallField::CallTime, m_now().toString(kTimeFormat));
    // Every call starts on a line of its own.
    if (shown == Shown::Yes)
        m_output.append(QStringLiteral("\r\n"));
}

bool DeviceParser::isCallOpen() const {
    return m_record.value(CallField::CallType) == kIngoing;
}

bool DeviceParser::isCallLogged() const {
    return m_loggedSerial == m_record.serial();
}

void DeviceParser::logCall() {
    if (!isCallOpen() || isCallLogged())
        return;
    m_events.LogCall();
    m_loggedSerial = m_record.serial();
}

void DeviceParser::countRing() {
    if (!isCallOpen())
        return;
    // Every call opens with the count at "0".
    const qint64 rings = m_record.value(CallField::Rings).toLongLong();
    m_record.set(CallField::Rings, QString::number(rings + 1));
    m_events.RecordRing();
}

void DeviceParser::takeDigit(QChar digit) {
    // Digits outside a call, and after a withheld number, are only shown.
    if (!isCallOpen() || m_record.value(CallField::Number) == kSecretNumber)
        return;
    m_record.set(CallField::Number, m_record.value(CallField::Number) + digit);
}

}  // namespace ringwise
