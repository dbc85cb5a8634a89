// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/router_lines.h"

#include <QStringList>

#include "call/phone_number.h"

namespace ringwise {

namespace {

enum Field { kTime, kEvent, kConnectionId, kCaller };

RouterEvent eventOf(const QString &name) {
    if (name == QLatin1String("RING"))
        return RouterEvent::Ring;
    if (name == QLatin1String("CONNECT"))
        return RouterEvent::Connect;
    if (name == QLatin1String("DISCONNECT"))
        return RouterEvent::Disconnect;
    if (name == QLatin1String("CALL"))
        return RouterEvent::Call;
    return RouterEvent::Other;
}

QDateTime timeOf(const QString &text) {
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 2)
        return {};
    return QDateTime(QDate::fromString(parts[0], QStringLiteral("dd.MM.yy")),
                     QTime::fromString(parts[1], QStringLiteral("HH:mm:ss")), Qt::UTC);
}

}  // namespace

RouterLine parseRouterLine(const QString &line, const QString &countryCode) {
    QStringList fields = line.split(QLatin1Char(';'));
    for (QString &field : fields)
        field = field.trimmed();
    if (fields.size() <= kConnectionId)
        return {};
    RouterLine parsed;
    parsed.event = eventOf(fields[kEvent].toUpper());
    bool isNumber = false;
    parsed.connectionId = fields[kConnectionId].toInt(&isNumber);
    if (parsed.event == RouterEvent::Other || !isNumber || parsed.connectionId < 0)
        return {};
    parsed.time = timeOf(fields[kTime]);
    if (parsed.event == RouterEvent::Ring && fields.size() > kCaller)
        parsed.number = nationalNumber(fields[kCaller], countryCode);
    return parsed;
}

}  // namespace ringwise
