#include "loopback_client.h"

#include <QHostAddress>

namespace ringwise::test {

LoopbackClient::LoopbackClient(quint16 port) {
    QObject::connect(&m_socket, &QTcpSocket::readyRead,
                     [this] { m_received += m_socket.readAll(); });
    m_socket.connectToHost(QHostAddress::LocalHost, port);
}

void LoopbackClient::send(const QByteArray &bytes) {
    m_socket.write(bytes);
    while (m_socket.bytesToWrite() > 0 && m_socket.waitForBytesWritten(5000)) {
    }
}

}  // namespace ringwise::test
