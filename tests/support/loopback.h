#pragma once

#include <QByteArray>

class QTcpSocket;

namespace ringwise::test {

// What the client has received once it holds at least `size` bytes (or after 5 s without
// news). Waits with the event loop running, so a server in this same thread goes on.
QByteArray receive(QTcpSocket &client, int size);

}  // namespace ringwise::test
