// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace ringwise {

// Watches the bytes of one web connection before the HTTP server reads them, and refuses
// what the server would otherwise take whole into memory: a head or a body over kMaxBytes,
// or a body sent in chunks (its length unknown until it has all come). Qt's HTTP server of
// Debian 12 has no limit of its own, so the web server feeds this from the socket's
// readyRead ahead of it.
class RequestGate {
public:
    static constexpr qint64 kMaxBytes = 64 * 1024;

    // What to answer instead of letting the request through; 0 lets it through.
    struct Verdict {
        int status = 0;
        QByteArray error;  // the "error" of the JSON answer
    };
    // The bytes that arrived since the last call.
    Verdict feed(QByteArrayView bytes);
    // Between requests: no head or body is part way in.
    bool idle() const { return m_head.isEmpty() && m_bodyLeft == 0; }

private:
    Verdict checkHead();

    QByteArray m_head;
    qint64 m_bodyLeft = 0;
};

}  // namespace ringwise
