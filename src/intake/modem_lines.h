// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace ringwise {

// Cuts a device's bytes into lines (the modem's, the router's). A line ends at CR, LF or
// CR LF; empty lines are skipped. Each byte is one Latin-1 character. A line longer than
// longestLine characters is dropped whole, up to its end.
class ModemLineParser {
public:
    static constexpr qsizetype kLongestLine = 256;

    explicit ModemLineParser(qsizetype longestLine = kLongestLine) : m_longestLine(longestLine) {}

    // The line that this byte completes, if any.
    std::optional<QString> take(char byte);
    // Every line that these bytes complete, in order.
    QStringList feed(const QByteArray &bytes);

private:
    qsizetype m_longestLine;
    QByteArray m_line;
    bool m_tooLong = false;
};

// What a modem's line means to the server.
enum class ModemLineKind {
    Ok,
    Error,
    Ring,
    Number,    // "NMBR = " and a number
    NoNumber,  // "NMBR = P" (withheld), "O" (not available), or any text without a digit
    Other,     // DATE, TIME, NAME, echoed commands, garbage: only shown
};

struct ModemLine {
    ModemLineKind kind = ModemLineKind::Other;
    QString number;  // the national number of a Number line (see nationalNumber)
    bool operator==(const ModemLine &other) const {
        return kind == other.kind && number == other.number;
    }
};

// White space around the line and around "=" are ignored, and case does not matter. A number
// in the international form loses the home country's code, countryCode.
ModemLine classifyModemLine(const QString &line, const QString &countryCode);

}  // namespace ringwise
