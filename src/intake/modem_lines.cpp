// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/modem_lines.h"

#include "call/phone_number.h"

namespace ringwise {

std::optional<QString> ModemLineParser::take(char byte) {
    if (byte == '\r' || byte == '\n') {
        const bool complete = !m_tooLong && !m_line.isEmpty();
        const QString line = QString::fromLatin1(m_line);
        m_line.clear();
        m_tooLong = false;
        return complete ? std::optional<QString>(line) : std::nullopt;
    }
    if (m_tooLong)
        return std::nullopt;
    m_line.append(byte);
    if (m_line.size() > m_longestLine) {
        m_line.clear();
        m_tooLong = true;
    }
    return std::nullopt;
}

QStringList ModemLineParser::feed(const QByteArray &bytes) {
    QStringList lines;
    for (const char byte : bytes) {
        if (std::optional<QString> line = take(byte))
            lines << *line;
    }
    return lines;
}

ModemLine classifyModemLine(const QString &line, const QString &countryCode) {
    const QString text = line.trimmed().toUpper();
    if (text == QLatin1String("OK"))
        return {ModemLineKind::Ok, QString()};
    if (text == QLatin1String("ERROR"))
        return {ModemLineKind::Error, QString()};
    if (text == QLatin1String("RING"))
        return {ModemLineKind::Ring, QString()};
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0 || text.left(equals).trimmed() != QLatin1String("NMBR"))
        return {};
    const QString number = nationalNumber(text.mid(equals + 1), countryCode);
    if (number.isEmpty())
        return {ModemLineKind::NoNumber, QString()};
    return {ModemLineKind::Number, number};
}

}  // namespace ringwise
