// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace ringwise {

// A file's bytes as text: UTF-8 when they are well-formed UTF-8 (a byte order mark
// dropped), Windows-1252 otherwise, which is what spreadsheets on Windows write.
QString decodeFileText(const QByteArray &bytes);

// One value's bytes in the character set a vCard names ("UTF-8", "ISO-8859-1",
// "windows-1252"); an unknown or absent name reads as decodeFileText does.
QString decodeCharset(const QByteArray &bytes, const QString &charset);

// A name or e-mail as the book keeps it: control characters dropped, blanks collapsed.
QString cleanText(const QString &text);

}  // namespace ringwise
