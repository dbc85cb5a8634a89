// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace ringwise {

// The longest message a client may send. A read of a client socket stops one byte past
// it, so a longer message shows itself as too long instead of growing without bound.
inline constexpr qint64 kMaxClientMessageBytes = 64 * 1024;

// What one message from a client is, before it is known whether the client may send it.
enum class ClientMessage {
    Nothing,   // no bytes: nothing to answer
    TooLong,   // more than kMaxClientMessageBytes
    Password,  // exactly the password, as Latin-1 text
    Pong,      // "PONG_:", the answer to a keep-alive ping
    Stats,     // "STATS:"
    Contact,   // "CNTAC:"
    Block,     // "BLOCK:"
    Other,     // anything else: refused
};

ClientMessage classifyClientMessage(const QByteArray &bytes, const QString &password);

}  // namespace ringwise
