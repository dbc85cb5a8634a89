// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/call_message.h"

#include "call/safe_text.h"

namespace ringwise {

QString callText(const ClientCall &call) {
    QString name = call.fields[CallField::Name];
    if (name.isEmpty())
        name = QStringLiteral("Unknown caller");
    if (call.named)
        name += kNamedSuffix;
    return call.fields[CallField::CallTime] + QStringLiteral("  ") + printable(name) +
           QStringLiteral("  ") + printable(call.fields[CallField::Number]);
}

QStringList callEnvironment(const ClientCall &call) {
    QStringList environment;
    for (const JsonField &named : kJsonFields)
        environment.append(QStringLiteral("RINGWISE_") + QString::fromLatin1(named.key).toUpper() +
                           QLatin1Char('=') + call.fields[named.field]);
    environment.append(QStringLiteral("RINGWISE_NEW=") + (call.named ? "1" : "0"));
    return environment;
}

}  // namespace ringwise
