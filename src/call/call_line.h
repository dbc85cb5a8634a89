// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ringwise {

class CallFields;

// How every call notification begins.
inline const QString kCallLinePrefix = QStringLiteral("CALL_:,");

// Removes leading and trailing blanks (spaces only, not tabs or line breaks).
QString trimBlanks(const QString &text);

// The call notification: "CALL_:," and the number, name, home phone, mobile phone,
// work phone, work fax and e-mail, each with its blanks trimmed, joined by single
// commas, with no terminator. The suffix follows the name inside its field
// (" (New)" when the directory has just named the caller).
QString callLine(const CallFields &fields, const QString &nameSuffix = QString());

}  // namespace ringwise
