// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

#include "call/call_record.h"

namespace ringwise {

// What follows the name in the second line of a call.
inline const QString kNamedSuffix = QStringLiteral(" (New)");

// One "CALL_:," line as a client reads it: the call's fields and whether it is the second
// line of a call, the one that carries the name the directory found.
struct ClientCall {
    CallFields fields;
    bool named = false;
};

// Reads a "CALL_:," line; nothing when the text is not one. Values may hold commas, and in
// practice only names do, so the first field is the number, the last five the phones, the
// fax and the e-mail, and everything between them the name. `received` becomes the call's
// time: the line carries none.
std::optional<ClientCall> parseCallLine(const QString &message, const QDateTime &received);

// The fields a call's JSON names, with their keys.
struct JsonField {
    CallField field;
    const char *key;
};
extern const std::array<JsonField, 8> kJsonFields;

// One JSON object on one line, every field named: what `ringwise-client watch --json` prints
// and what the server publishes to an MQTT broker.
QString callJson(const ClientCall &call);

}  // namespace ringwise
