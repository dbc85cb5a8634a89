// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/client_message.h"

namespace ringwise {

ClientMessage classifyClientMessage(const QByteArray &bytes, const QString &password) {
    if (bytes.isEmpty())
        return ClientMessage::Nothing;
    if (bytes.size() > kMaxClientMessageBytes)
        return ClientMessage::TooLong;
    const QString text = QString::fromLatin1(bytes);
    if (text == password)
        return ClientMessage::Password;
    if (bytes.startsWith("PONG_:"))
        return ClientMessage::Pong;
    if (bytes.startsWith("STATS:"))
        return ClientMessage::Stats;
    if (bytes.startsWith("CNTAC:"))
        return ClientMessage::Contact;
    if (bytes.startsWith("BLOCK:"))
        return ClientMessage::Block;
    return ClientMessage::Other;
}

}  // namespace ringwise
