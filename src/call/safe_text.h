// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonDocument>
#include <QString>

namespace ringwise {

// Text from the server made safe to print: C0 controls, DEL and C1 controls become U+FFFD,
// so no name can move the cursor or send the terminal an escape sequence.
QString printable(const QString &text);

// A JSON document on one line. QJsonDocument escapes C0 controls only; DEL and C1 controls
// are escaped here too, so the line stays valid JSON and safe on a terminal.
QString jsonLine(const QJsonDocument &document);

}  // namespace ringwise
