// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/call_json.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "call/call_line.h"
#include "call/safe_text.h"
#include "call/time_format.h"

namespace ringwise {

const std::array<JsonField, 8> kJsonFields = {{
    {CallField::CallTime, "time"},
    {CallField::Number, "number"},
    {CallField::Name, "name"},
    {CallField::HomePhone, "home"},
    {CallField::MobilePhone, "mobile"},
    {CallField::WorkPhone, "work"},
    {CallField::WorkFax, "fax"},
    {CallField::Email, "email"},
}};

std::optional<ClientCall> parseCallLine(const QString &message, const QDateTime &received) {
    if (!message.startsWith(kCallLinePrefix))
        return std::nullopt;
    const QStringList parts = message.mid(kCallLinePrefix.size()).split(QLatin1Char(','));
    if (parts.size() < 7)
        return std::nullopt;
    ClientCall call;
    const qsizetype tail = parts.size() - 5;
    call.fields[CallField::CallTime] = received.toString(kTimeFormat);
    call.fields[CallField::Number] = parts.first();
    QString name = parts.mid(1, tail - 1).join(QLatin1Char(','));
    call.named = name.endsWith(kNamedSuffix);
    if (call.named)
        name.chop(kNamedSuffix.size());
    call.fields[CallField::Name] = name;
    call.fields[CallField::HomePhone] = parts[tail];
    call.fields[CallField::MobilePhone] = parts[tail + 1];
    call.fields[CallField::WorkPhone] = parts[tail + 2];
    call.fields[CallField::WorkFax] = parts[tail + 3];
    call.fields[CallField::Email] = parts[tail + 4];
    return call;
}

QString callJson(const ClientCall &call) {
    QJsonObject object;
    for (const JsonField &named : kJsonFields)
        object.insert(QLatin1String(named.key), call.fields[named.field]);
    object.insert(QStringLiteral("new"), call.named);
    return jsonLine(QJsonDocument(object));
}

}  // namespace ringwise
