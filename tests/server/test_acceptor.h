#pragma once

#include <QTcpServer>
#include <functional>
#include <memory>

#include "loopback_client.h"

namespace ringwise {
class ClientTable;
}

namespace ringwise::test {

// Listens on loopback and accepts each client into a table the way hosting does, minus
// the greeting. Accepted sockets get a large receive buffer, so a long message written
// at once reaches the server in one read.
class TestAcceptor {
public:
    explicit TestAcceptor(ClientTable &table, std::function<void(int slot)> accepted = {});

    quint16 port() const { return m_listener.serverPort(); }
    struct Accepted {
        std::unique_ptr<LoopbackClient> client;
        int slot = 0;  // 0 when the table did not take the client
    };
    // Connects a client and waits until the table holds it.
    Accepted connectClient();

private:
    ClientTable &m_table;
    std::function<void(int)> m_accepted;
    QTcpServer m_listener;
};

}  // namespace ringwise::test
