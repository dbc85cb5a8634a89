// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "call/seams.h"
#include "intake/modem_calls.h"
#include "intake/modem_lines.h"
#include "intake/serial_device.h"

namespace ringwise {

// How long the modem driver waits; tests pass short ones.
struct ModemTimings {
    static constexpr int kDefaultAnswerMs = 3000;

    int answerMs = kDefaultAnswerMs;  // for the answer to each command
    int retryMs = SerialDevice::kDefaultRetryMs;
    int callWindowMs = ModemCalls::kDefaultCallWindowMs;  // for the number after a RING
};

// A voice/data modem with caller ID on a serial port: 8N1 without flow control. Once the
// port is open it sends ATZ, AT+VCID=1 (AT#CID=1 when the modem answers ERROR to it) and the
// extra commands, each after the answer to the one before. A modem that does not answer
// in time is reported once and its port is opened again at the retry interval. Every line
// the modem sends is shown; its calls go on as the box's characters.
class ModemDevice : public QObject {
    Q_OBJECT
public:
    static constexpr qint32 kDefaultBaudRate = 115200;
    // How long the line of a blocked call is held off-hook before the modem hangs up.
    static constexpr int kDefaultHangupMs = 1500;
    static constexpr int kLongestHangupMs = 10000;

    ModemDevice(SendText showLine, SendText handleCall, Report report, TickCount tickCount,
                ModemTimings timings = {}, QObject *parent = nullptr);

    // portText names the port in messages, devicePath is the device; a number that comes in
    // the international form loses countryCode, the home country's. False when the port is
    // not open yet; it is then being retried.
    bool open(const QString &portText, const QString &devicePath, qint32 baudRate,
              const QStringList &extraCommands, const QString &countryCode);
    // Closes the port and stops retrying and waiting.
    void close();
    // As SerialDevice's: the modem's lines after the one handed on last wait. An answer
    // cannot be read meanwhile, so the wait for it starts again once the input flows.
    void holdInput();
    void releaseInput();
    // Answers the call ringing now and hangs up after pauseMs (ATH1, then ATH0), so the
    // telephone stops ringing; the device output then says "Blocked NUMBER: hung up.".
    // Commands still waiting for their answer go first.
    void hangUp(const QString &number, int pauseMs);
    // The modem has answered its whole initialisation.
    bool isReady() const { return m_serial.isOpen() && m_commands.isEmpty() && m_sent.isEmpty(); }

private:
    void startInitialisation();
    void sendNext();
    void receive(QChar character);
    void handleLine(const QString &line);
    void handleAnswer(ModemLineKind kind);
    void noAnswer();
    void passOn(const QString &characters);
    void send(const QString &command);

    SendText m_showLine;
    SendText m_handleCall;
    Report m_report;
    TickCount m_tickCount;
    ModemTimings m_timings;
    SerialDevice m_serial;
    ModemLineParser m_lines;
    ModemCalls m_calls;
    QTimer m_answerTimer{this};
    QTimer m_callWindowTimer{this};
    QTimer m_hangupTimer{this};  // the pause between off-hook and on-hook
    QString m_blockedNumber;     // the caller being hung up on
    bool m_hangingUp = false;    // from hangUp() until the modem answers its ATH0
    QString m_portText;
    QStringList m_extraCommands;
    QString m_countryCode;
    QStringList m_commands;  // still to send
    QString m_sent;          // sent and not answered yet
    bool m_silenceReported = false;
};

}  // namespace ringwise
