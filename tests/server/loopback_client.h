#pragma once

#include <QByteArray>
#include <QTcpSocket>

namespace ringwise::test {

// A client on 127.0.0.1 that collects every byte it receives.
class LoopbackClient {
public:
    explicit LoopbackClient(quint16 port);

    // Hands the bytes to the kernel before returning, so they can arrive in one read.
    void send(const QByteArray &bytes);
    QByteArray received() const { return m_received; }
    bool isClosed() const { return m_socket.state() == QAbstractSocket::UnconnectedState; }
    QTcpSocket &socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_received;
};

}  // namespace ringwise::test
