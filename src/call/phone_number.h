// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ringwise {

// A country calling code as the settings hold it: 1 to 3 digits, such as "45".
bool isCountryCode(const QString &text);

// A telephone number in the form the call log and the contacts use: as it is dialled from
// within the country whose calling code is countryCode. Every character but the digits is
// dropped (blanks, dashes, dots, brackets). A "+" before the first digit, or "00" at the
// start, marks the international form: the home country's code after it is dropped, and
// any other country keeps its code after "00". With countryCode "45", "+45 22 33 44 55"
// and "0045 22334455" are "22334455", and "+46 8 123" is "00468123". Empty when the text
// holds no digit: the line sent no number (withheld, not available).
QString nationalNumber(const QString &text, const QString &countryCode);

}  // namespace ringwise
