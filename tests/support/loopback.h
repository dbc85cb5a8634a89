// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

class QTcpSocket;

namespace ringwise::test {

// What the client has received once it holds at least `size` bytes (or after 5 s without
// news). Waits with the event loop running, so a server in this same thread goes on.
QByteArray receive(QTcpSocket &client, int size);

// A loopback port that nobody listens on when it is asked for. Only for the TLS port: the
// plain port is chosen by the server itself and read back, but a TLS port of 0 means none.
quint16 loopbackPortForTls();

}  // namespace ringwise::test
