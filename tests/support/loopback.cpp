// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/loopback.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

namespace ringwise::test {

QByteArray receive(QTcpSocket &client, int size) {
    QSignalSpy readyRead(&client, &QTcpSocket::readyRead);
    QByteArray received = client.readAll();
    while (received.size() < size && (client.bytesAvailable() > 0 || readyRead.wait(5000)))
        received += client.readAll();
    return received;
}

quint16 loopbackPortForTls() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

}  // namespace ringwise::test
