// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <vector>

namespace ringwise::bench {

// Loopback clients of one server, plain non-blocking sockets read on one epoll set, so the
// benchmark's own cost per client stays small beside the server's. Each keeps what it has
// received.
class LoopbackClients {
public:
    explicit LoopbackClients(quint16 port);
    ~LoopbackClients();
    LoopbackClients(const LoopbackClients &) = delete;
    LoopbackClients &operator=(const LoopbackClients &) = delete;

    // Each client is a descriptor here and one in the server, which inherits this process's
    // limit: both may then hold as many as the hard limit allows.
    static void raiseDescriptorLimit();

    int size() const { return int(m_fds.size()); }
    const QByteArray &received(int client) const { return m_received[client]; }

    // Opens `count` more connections and waits until each has its greeting.
    bool connect(int count);
    // Waits until every client from `first` on holds at least `size` bytes.
    bool waitUntilAllFrom(int first, int size, int timeoutMs = 60000);
    // Sends `bytes` from one client with one send(); false when not all went.
    bool send(int client, const QByteArray &bytes);
    // Forgets what every client has received, and what has arrived unread.
    void clearReceived();
    // Every client leaves at once with a reset, so no port is held in TIME_WAIT.
    void resetAll();

private:
    bool connectGroup(int count);
    // Reads what has arrived, waiting up to `timeoutMs` for something, and takes from
    // `missing` each client from `first` on that now holds `size` bytes. Returns how many
    // clients had something to read.
    int read(int timeoutMs, int first, int size, int &missing);

    quint16 m_port;
    int m_epoll;
    std::vector<int> m_fds;
    std::vector<QByteArray> m_received;
};

}  // namespace ringwise::bench
