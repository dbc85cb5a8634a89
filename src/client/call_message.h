#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

#include "call/call_record.h"

namespace ringwise {

// One "CALL_:," line as the client reads it: the call's fields and whether it is the
// second line of a call, the one that carries the name the directory found.
struct ClientCall {
    CallFields fields;
    bool named = false;
};

// Reads a "CALL_:," line; nothing when the text is not one. Values may hold commas, and in
// practice only names do, so the first field is the number, the last five the phones, the
// fax and the e-mail, and everything between them the name. `received` becomes the call's
// time: the line carries none.
std::optional<ClientCall> parseCallLine(const QString &message, const QDateTime &received);

// "2026-12-06 20:15:04  Karen Holm  04512345", control characters replaced (see printable).
QString callText(const ClientCall &call);
// One JSON object on one line, every field named.
QString callJson(const ClientCall &call);
// The fields as RINGWISE_NUMBER=..., RINGWISE_NAME=..., for a program run per call.
QStringList callEnvironment(const ClientCall &call);

}  // namespace ringwise
