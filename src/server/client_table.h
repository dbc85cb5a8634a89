// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <functional>
#include <map>
#include <optional>
#include <queue>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "call/seams.h"
#include "server/peer_address.h"
#include "server/socket_poller.h"

namespace ringwise {

// What clients may hold unsent. A client holding more than perClient before the next
// message has stopped reading, so one large answer (the whole contact book) always fits
// whole; past total for all clients together, the one holding the most is dropped.
struct UnsentBounds {
    qint64 perClient = qint64(1) << 20;
    qint64 total = qint64(256) << 20;
};

// The numbered client slots (1 and up; 0 would be the listening socket), the broadcast
// and the connection list. A slot without a connection is closed and may be handed out
// again. Nothing costs more per client as clients grow: the lowest free slot comes from a
// heap, the list changes one line at a time, every client's socket is watched through one
// epoll set, a broadcast hands each client its bytes with one send, and the bytes left
// unsent are counted as they change, with the slots ordered by them.
class ClientTable : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxSlots = 32767;

    // loginRequired is asked at each broadcast: while it holds, broadcasts reach only the
    // slots marked as logged in.
    ClientTable(SendText appendDeviceOutput, Clock now, std::function<bool()> loginRequired,
                int maxSlots = kMaxSlots, UnsentBounds unsentBounds = {},
                QObject *parent = nullptr);
    ~ClientTable() override;

    // Freed memory is handed back to the system after this many clients have left.
    static constexpr int kReleasesBeforeTrim = 256;

    // At most maxClients connections at once (never more than the slots), and at most
    // maxPerAddress from one address (0: no limit).
    void setCaps(int maxClients, int maxPerAddress);
    enum class Room { Free, TableFull, AddressFull };
    // Whether one more connection from the address stays within the caps.
    Room roomFor(const QHostAddress &address) const;

    // The lowest closed slot, or a new one above all others; empty when none is left.
    std::optional<int> AllocateSlot();
    // Takes ownership of a connected socket's descriptor for a slot that AllocateSlot() gave.
    void attach(int slot, int fd);
    // The same for a connection that needs a socket object (TLS): few clients, so its cost
    // per client does not matter. The bytes inside are the same as on a bare descriptor.
    void attachSocket(int slot, QTcpSocket *socket);
    int highestSlot() const { return m_highestSlot; }
    // The client's address; null for a slot without one.
    QHostAddress peerAddress(int slot) const;

    void SendToClients(const QString &text);
    // One line per connected slot, "[slot]: address:port", in slot order. Built when asked;
    // views follow the changes through clientListed and clientUnlisted.
    QStringList connectionList() const;
    int connectionCount() const { return int(m_listed.size()); }

    void sendTo(int slot, const QString &text);
    // What all clients together hold unsent.
    qint64 unsentBytes() const { return m_unsentTotal; }
    QByteArray read(int slot);
    // Closes the connection once what was sent on it has gone out.
    void disconnectAfterSending(int slot);
    // Closes every connected client; slots in other states are left alone.
    void closeAll();

    void markLoggedIn(int slot);
    bool isLoggedIn(int slot) const;
    // Closes at once, without a word, every connection from the network (see networkOf)
    // that has not logged in.
    void closeWaitingFrom(const QHostAddress &network);

    // Notes a socket error (the system's error number) in the device output.
    void reportSocketError(int error, const QString &description);
    // Notes one event, after the time, in the device output.
    void report(const QString &text);
    // Hands the memory the allocator keeps for later use back to the system, after a short
    // while: when many clients have left, or a large answer was made.
    void trimMemorySoon();

signals:
    // A client joined the connection list, or left it.
    void clientListed(int slot, const QString &line);
    void clientUnlisted(int slot);
    void dataArrived(int slot);

private:
    struct Slot {
        int fd = -1;                   // -1: closed, unless socket holds the connection
        QTcpSocket *socket = nullptr;  // owned
        bool loggedIn = false;
        bool closing = false;  // leaves once its unsent bytes have gone out
        QByteArray unsent;     // what the kernel has not taken yet
        qint64 counted = 0;    // its unsent bytes as the total and m_byUnsent hold them
        QByteArray received;   // what the socket has delivered and nobody has read
        QHostAddress address;
    };

    bool isConnected(int slot) const;
    void deliver(int slot, const QByteArray &bytes);
    static qint64 unsentOf(const Slot &client);
    void recount(int slot, qint64 unsent);
    void dropSlowestWhileOverTotal();
    void writeUnsent(int slot);
    QString timestamp() const;
    void release(int slot);
    // Takes the slot off the connection list and out of the waiting connections.
    void unlist(int slot);
    void stopWaiting(int slot);
    void handleEvents(int fd, std::uint32_t events);
    // Reads what has arrived, up to the message bound. When the connection has ended, the
    // system's error number (0 for an orderly close).
    std::optional<int> receive(int slot);
    void endConnection(int slot, int error);
    void list(int slot, const Peer &peer);
    void readSocket(int slot);
    void socketFailed(int slot);

    SendText m_appendDeviceOutput;
    Clock m_now;
    std::function<bool()> m_loginRequired;
    const int m_maxSlots;
    const UnsentBounds m_unsentBounds;
    qint64 m_unsentTotal = 0;
    // The slots holding unsent bytes, by how many: the last one reads the slowest.
    std::set<std::pair<qint64, int>> m_byUnsent;
    int m_highestSlot = 0;
    int m_maxClients;
    int m_maxPerAddress = 0;
    int m_open = 0;  // slots holding a connection, closing ones included
    std::unordered_map<QHostAddress, int, AddressHash> m_openFrom;
    // The connections that have not logged in, by network.
    std::unordered_map<QHostAddress, std::unordered_set<int>, AddressHash> m_waitingFrom;
    std::vector<Slot> m_slots;    // index 0 stays unused, so slot n lives at m_slots[n]
    std::vector<int> m_slotOfFd;  // 0: the descriptor is no client's
    // Closed slots up to highestSlot, lowest on top. A heap in one vector, not a tree of
    // nodes: nodes allocated as clients leave would pin their freed memory in the heap.
    std::priority_queue<int, std::vector<int>, std::greater<int>> m_freeSlots;
    std::map<int, QString> m_listed;
    int m_releasesSinceTrim = 0;
    bool m_trimPending = false;
    SocketPoller m_poller;
};

}  // namespace ringwise
