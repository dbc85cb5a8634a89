// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/safe_text.h"

namespace ringwise {

namespace {

bool isControl(QChar c) {
    return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
}

}  // namespace

QString printable(const QString &text) {
    QString result = text;
    for (QChar &c : result)
        if (isControl(c))
            c = QChar::ReplacementCharacter;
    return result;
}

QString jsonLine(const QJsonDocument &document) {
    const QString json = QString::fromUtf8(document.toJson(QJsonDocument::Compact));
    QString result;
    result.reserve(json.size());
    for (const QChar c : json) {
        // The writer has escaped every C0 control already; outside strings there are none.
        if (isControl(c))
            result += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            result += c;
    }
    return result;
}

}  // namespace ringwise
