#include "client/call_message.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <array>

#include "call/call_line.h"
#include "call/time_format.h"
#include "client/terminal_text.h"

namespace ringwise {

namespace {

const QString kNamedSuffix = QStringLiteral(" (New)");

struct NamedField {
    CallField field;
    const char *key;  // in JSON
    const char *variable;
};

const std::array<NamedField, 8> kNamedFields = {{
    {CallField::CallTime, "time", "RINGWISE_TIME"},
    {CallField::Number, "number", "RINGWISE_NUMBER"},
    {CallField::Name, "name", "RINGWISE_NAME"},
    {CallField::HomePhone, "home", "RINGWISE_HOME"},
    {CallField::MobilePhone, "mobile", "RINGWISE_MOBILE"},
    {CallField::WorkPhone, "work", "RINGWISE_WORK"},
    {CallField::WorkFax, "fax", "RINGWISE_FAX"},
    {CallField::Email, "email", "RINGWISE_EMAIL"},
}};

}  // namespace

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

QString callText(const ClientCall &call) {
    QString name = call.fields[CallField::Name];
    if (name.isEmpty())
        name = QStringLiteral("Unknown caller");
    if (call.named)
        name += kNamedSuffix;
    return call.fields[CallField::CallTime] + QStringLiteral("  ") + printable(name) +
           QStringLiteral("  ") + printable(call.fields[CallField::Number]);
}

QString callJson(const ClientCall &call) {
    QJsonObject object;
    for (const NamedField &named : kNamedFields)
        object.insert(QLatin1String(named.key), call.fields[named.field]);
    object.insert(QStringLiteral("new"), call.named);
    return jsonLine(QJsonDocument(object));
}

QStringList callEnvironment(const ClientCall &call) {
    QStringList environment;
    for (const NamedField &named : kNamedFields)
        environment.append(QLatin1String(named.variable) + QLatin1Char('=') +
                           call.fields[named.field]);
    environment.append(QStringLiteral("RINGWISE_NEW=") + (call.named ? "1" : "0"));
    return environment;
}

}  // namespace ringwise
