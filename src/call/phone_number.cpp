// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/phone_number.h"

#include <algorithm>

namespace ringwise {

namespace {

const QString kInternationalPrefix = QStringLiteral("00");

bool isDigit(QChar character) {
    return character >= u'0' && character <= u'9';
}

}  // namespace

bool isCountryCode(const QString &text) {
    return !text.isEmpty() && text.size() <= 3 && std::all_of(text.begin(), text.end(), isDigit);
}

QString nationalNumber(const QString &text, const QString &countryCode) {
    QString digits;
    bool plus = false;
    for (const QChar character : text) {
        if (isDigit(character))
            digits += character;
        else if (character == u'+' && digits.isEmpty())
            plus = true;
    }
    if (plus && !digits.isEmpty())
        digits.prepend(kInternationalPrefix);
    if (isCountryCode(countryCode) && digits.startsWith(kInternationalPrefix + countryCode))
        digits.remove(0, kInternationalPrefix.size() + countryCode.size());
    return digits;
}

}  // namespace ringwise
