// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

namespace ringwise {

// The shapes of the seams the service fills in, named once.

// Hands a text on: a broadcast to the clients, a line of device output, a request.
using SendText = std::function<void(const QString &text)>;
// Answers a request: the answer's text, or nothing when no answer is due.
using AnswerRequest = std::function<std::optional<QString>(const QString &request)>;
// A warning for the user, shown by the front end.
using Report = std::function<void(const QString &title, const QString &text)>;
// A text read at each use, such as a setting.
using ReadText = std::function<QString()>;
// The wall clock.
using Clock = std::function<QDateTime()>;
// Milliseconds since boot, signed 32-bit.
using TickCount = std::function<qint32()>;
// The block-list entry that blocks a call from this number; empty when none does.
using BlockCheck = std::function<QString(const QString &number)>;

}  // namespace ringwise
