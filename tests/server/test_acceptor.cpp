#include "test_acceptor.h"

#include <sys/socket.h>

#include <QSignalSpy>
#include <QTcpSocket>

#include "server/client_table.h"

namespace ringwise::test {

TestAcceptor::TestAcceptor(ClientTable &table, std::function<void(int)> accepted)
    : m_table(table), m_accepted(std::move(accepted)) {
    m_listener.listen(QHostAddress::LocalHost, 0);
    const int bufferBytes = 1 << 20;
    ::setsockopt(int(m_listener.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &bufferBytes,
                 sizeof bufferBytes);
}

TestAcceptor::Accepted TestAcceptor::connectClient() {
    Accepted accepted{std::make_unique<LoopbackClient>(port())};
    QSignalSpy connected(&accepted.client->socket(), &QTcpSocket::connected);
    QSignalSpy pending(&m_listener, &QTcpServer::newConnection);
    if (!connected.wait() || (!m_listener.hasPendingConnections() && !pending.wait()))
        return accepted;
    QTcpSocket *socket = m_listener.nextPendingConnection();
    if (const std::optional<int> slot = m_table.AllocateSlot()) {
        m_table.attach(*slot, socket);
        m_table.RefreshConnectionList();
        if (m_accepted)
            m_accepted(*slot);
        accepted.slot = *slot;
    }
    return accepted;
}

}  // namespace ringwise::test
