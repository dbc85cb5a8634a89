// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/modem_device.h"

namespace ringwise {

namespace {

const QString kReset = QStringLiteral("ATZ");
const QString kFormattedCallerId = QStringLiteral("AT+VCID=1");
// The older command of modems that do not know AT+VCID.
const QString kOlderCallerId = QStringLiteral("AT#CID=1");
const QString kTitle = QStringLiteral("Serial port");
const QString kOffHook = QStringLiteral("ATH1");
const QString kOnHook = QStringLiteral("ATH0");

}  // namespace

ModemDevice::ModemDevice(SendText showLine, SendText handleCall, Report report, TickCount tickCount,
                         ModemTimings timings, QObject *parent)
    : QObject(parent),
      m_showLine(std::move(showLine)),
      m_handleCall(std::move(handleCall)),
      m_report(report),
      m_tickCount(std::move(tickCount)),
      m_timings(timings),
      m_serial([this](QChar character) { receive(character); }, std::move(report), timings.retryMs,
               this),
      m_calls(timings.callWindowMs) {
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setInterval(m_timings.answerMs);
    m_callWindowTimer.setSingleShot(true);
    m_callWindowTimer.setInterval(m_timings.callWindowMs);
    connect(&m_serial, &SerialDevice::opened, this, &ModemDevice::startInitialisation);
    m_hangupTimer.setSingleShot(true);
    connect(&m_answerTimer, &QTimer::timeout, this, &ModemDevice::noAnswer);
    connect(&m_hangupTimer, &QTimer::timeout, this, [this] {
        if (m_serial.isOpen())
            send(kOnHook);
    });
    connect(&m_callWindowTimer, &QTimer::timeout, this,
            [this] { passOn(m_calls.endCallWindow()); });
}

bool ModemDevice::open(const QString &portText, const QString &devicePath, qint32 baudRate,
                       const QStringList &extraCommands, const QString &countryCode) {
    close();
    m_portText = portText;
    m_extraCommands = extraCommands;
    m_countryCode = countryCode;
    m_silenceReported = false;
    m_serial.setLine({baudRate, SerialLine::Parity::None, true});
    return m_serial.open(portText, devicePath);
}

void ModemDevice::hangUp(const QString &number, int pauseMs) {
    if (!m_serial.isOpen())
        return;
    m_blockedNumber = number;
    m_hangingUp = true;
    m_hangupTimer.setInterval(pauseMs);
    send(kOffHook);
}

void ModemDevice::send(const QString &command) {
    m_commands << command;
    if (m_sent.isEmpty())
        sendNext();
}

void ModemDevice::holdInput() {
    m_serial.holdInput();
    m_answerTimer.stop();
}

void ModemDevice::releaseInput() {
    m_serial.releaseInput();
    if (!m_sent.isEmpty() && !m_serial.isHolding() && !m_answerTimer.isActive())
        m_answerTimer.start();
}

void ModemDevice::close() {
    m_answerTimer.stop();
    m_callWindowTimer.stop();
    m_hangupTimer.stop();
    m_calls = ModemCalls(m_timings.callWindowMs);
    m_commands.clear();
    m_sent.clear();
    m_serial.close();
}

void ModemDevice::startInitialisation() {
    // Half a line from before the port was closed means nothing now.
    m_lines = ModemLineParser();
    m_hangingUp = false;
    m_hangupTimer.stop();
    m_commands = QStringList{kReset, kFormattedCallerId} + m_extraCommands;
    m_sent.clear();
    sendNext();
}

void ModemDevice::sendNext() {
    if (m_commands.isEmpty()) {
        m_answerTimer.stop();
        // Answered at last: the next silence is news again.
        m_silenceReported = false;
        return;
    }
    m_sent = m_commands.takeFirst();
    m_serial.write(m_sent.toLatin1() + '\r');
    if (!m_serial.isHolding())
        m_answerTimer.start();
}

void ModemDevice::receive(QChar character) {
    if (std::optional<QString> line = m_lines.take(static_cast<char>(character.unicode())))
        handleLine(*line);
}

void ModemDevice::handleLine(const QString &line) {
    m_showLine(line);
    const ModemLine meaning = classifyModemLine(line, m_countryCode);
    if (!m_sent.isEmpty() &&
        (meaning.kind == ModemLineKind::Ok || meaning.kind == ModemLineKind::Error)) {
        handleAnswer(meaning.kind);
        return;
    }
    passOn(m_calls.HandleLine(meaning, m_tickCount()));
}

void ModemDevice::handleAnswer(ModemLineKind kind) {
    const QString command = m_sent;
    m_sent.clear();
    // The pause starts once the line is off-hook; ERROR to either is reported below. The
    // ATH1 and ATH0 of ServerModemInit are no hang-up.
    if (m_hangingUp && command == kOffHook) {
        m_hangupTimer.start();
    } else if (m_hangingUp && command == kOnHook) {
        m_hangingUp = false;
        m_calls.endCall();
        if (kind == ModemLineKind::Ok)
            m_showLine(QStringLiteral("Blocked %1: hung up.").arg(m_blockedNumber));
    }
    if (kind == ModemLineKind::Error) {
        if (command == kFormattedCallerId)
            m_commands.prepend(kOlderCallerId);
        else
            m_report(
                kTitle,
                QStringLiteral("the modem on %1 answered ERROR to %2.").arg(m_portText, command));
    }
    sendNext();
}

void ModemDevice::noAnswer() {
    // A port that went away meanwhile is already reported and being retried.
    if (!m_serial.isOpen())
        return;
    const QString problem =
        QStringLiteral("the modem on %1 does not answer %2 within %3 s.")
            .arg(m_portText, m_sent, QString::number(m_timings.answerMs / 1000.0));
    m_commands.clear();
    m_sent.clear();
    m_serial.closeAndRetry(m_silenceReported ? std::nullopt : std::optional<QString>(problem));
    m_silenceReported = true;
}

void ModemDevice::passOn(const QString &characters) {
    if (!characters.isEmpty())
        m_handleCall(characters);
    if (!m_calls.isHoldingRings())
        m_callWindowTimer.stop();
    else if (!m_callWindowTimer.isActive())
        m_callWindowTimer.start();
}

}  // namespace ringwise
