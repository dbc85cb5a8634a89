// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/client_table.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QLocale>
#include <QSslSocket>
#include <QTimer>
#include <cerrno>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "call/system_error.h"
#include "call/time_format.h"
#include "server/client_message.h"

namespace ringwise {

namespace {

constexpr std::uint32_t kReading = EPOLLIN | EPOLLRDHUP;
constexpr std::uint32_t kReadingAndWriting = kReading | EPOLLOUT;
// After many clients have left, their freed memory goes back to the system this long
// after, once the event loop has run.
constexpr int kTrimDelayMs = 500;

// A client that closes or resets its connection has left; anything else is a fault.
bool isOrdinaryEnd(int error) {
    return error == 0 || error == ECONNRESET || error == EPIPE;
}

}  // namespace

ClientTable::ClientTable(SendText appendDeviceOutput, Clock now,
                         std::function<bool()> loginRequired, int maxSlots,
                         UnsentBounds unsentBounds, QObject *parent)
    : QObject(parent),
      m_appendDeviceOutput(std::move(appendDeviceOutput)),
      m_now(std::move(now)),
      m_loginRequired(std::move(loginRequired)),
      m_maxSlots(maxSlots),
      m_unsentBounds(unsentBounds),
      m_maxClients(maxSlots),
      m_slots(1),
      m_poller([this](int fd, std::uint32_t events) { handleEvents(fd, events); }) {}

ClientTable::~ClientTable() {
    for (const Slot &slot : m_slots) {
        if (slot.fd >= 0)
            ::close(slot.fd);
        delete slot.socket;
    }
}

std::optional<int> ClientTable::AllocateSlot() {
    if (m_open >= m_maxClients)
        return std::nullopt;
    if (!m_freeSlots.empty()) {
        const int slot = m_freeSlots.top();
        m_freeSlots.pop();
        return slot;
    }
    if (m_highestSlot >= m_maxSlots)
        return std::nullopt;
    ++m_highestSlot;
    m_slots.emplace_back();
    return m_highestSlot;
}

void ClientTable::attach(int slot, int fd) {
    Q_ASSERT(slot >= 1 && slot <= m_highestSlot && m_slots[slot].fd < 0 && !m_slots[slot].socket);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    const int on = 1;
    // A client whose network vanished without a close is noticed by the keep-alive.
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    // Every message is written whole in one send; waiting to coalesce only delays it.
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const Peer peer = peerOf(fd);
    m_slots[slot] = Slot{fd, nullptr, false, false, {}, 0, {}, peer.address};
    if (fd >= int(m_slotOfFd.size()))
        m_slotOfFd.resize(fd + 1, 0);
    m_slotOfFd[fd] = slot;
    m_poller.watch(fd, kReading);
    list(slot, peer);
}

void ClientTable::attachSocket(int slot, QTcpSocket *socket) {
    Q_ASSERT(slot >= 1 && slot <= m_highestSlot && m_slots[slot].fd < 0 && !m_slots[slot].socket);
    socket->setParent(nullptr);
    socket->setReadBufferSize(kMaxClientMessageBytes + 1);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const Peer peer{plainAddress(socket->peerAddress()), socket->peerPort()};
    m_slots[slot] = Slot{-1, socket, false, false, {}, 0, {}, peer.address};
    connect(socket, &QTcpSocket::readyRead, this, [this, slot] { readSocket(slot); });
    const auto recountSocket = [this, slot] { recount(slot, unsentOf(m_slots[slot])); };
    connect(socket, &QTcpSocket::bytesWritten, this, recountSocket);
    if (auto *tls = qobject_cast<QSslSocket *>(socket))
        connect(tls, &QSslSocket::encryptedBytesWritten, this, recountSocket);
    connect(socket, &QTcpSocket::disconnected, this, [this, slot] { release(slot); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, slot] { socketFailed(slot); });
    list(slot, peer);
    // Bytes that came with the end of the handshake raise no readyRead of their own.
    if (socket->bytesAvailable() > 0)
        readSocket(slot);
}

void ClientTable::list(int slot, const Peer &peer) {
    ++m_open;
    ++m_openFrom[peer.address];
    m_waitingFrom[networkOf(peer.address)].insert(slot);
    const QString line =
        QStringLiteral("[%1]: %2:%3").arg(slot).arg(peer.address.toString()).arg(peer.port);
    m_listed.emplace(slot, line);
    emit clientListed(slot, line);
}

void ClientTable::readSocket(int slot) {
    Slot &client = m_slots[slot];
    client.received += client.socket->readAll();
    if (client.closing)
        client.received.clear();
    else if (!client.received.isEmpty())
        emit dataArrived(slot);
}

void ClientTable::socketFailed(int slot) {
    QTcpSocket *socket = m_slots[slot].socket;
    // A client that closes its end has left; its disconnected signal releases the slot.
    if (socket->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    report(QStringLiteral("Client [%1] error: %2").arg(slot).arg(socket->errorString()));
    release(slot);
}

void ClientTable::setCaps(int maxClients, int maxPerAddress) {
    m_maxClients = std::min(maxClients, m_maxSlots);
    m_maxPerAddress = maxPerAddress;
}

ClientTable::Room ClientTable::roomFor(const QHostAddress &address) const {
    if (m_open >= m_maxClients)
        return Room::TableFull;
    if (m_maxPerAddress > 0) {
        const auto found = m_openFrom.find(address);
        if (found != m_openFrom.end() && found->second >= m_maxPerAddress)
            return Room::AddressFull;
    }
    return Room::Free;
}

QHostAddress ClientTable::peerAddress(int slot) const {
    return slot >= 1 && slot <= m_highestSlot ? m_slots[slot].address : QHostAddress();
}

void ClientTable::SendToClients(const QString &text) {
    const QByteArray bytes = text.toLatin1();
    // Without a rule, only logged-in clients are served: a missing rule never opens the door.
    const bool loginRequired = !m_loginRequired || m_loginRequired();
    const int bound = m_highestSlot;
    for (int slot = 1; slot <= bound; ++slot) {
        if (isConnected(slot) && (!loginRequired || m_slots[slot].loggedIn))
            deliver(slot, bytes);
    }
}

QStringList ClientTable::connectionList() const {
    QStringList lines;
    lines.reserve(qsizetype(m_listed.size()));
    for (const auto &[slot, line] : m_listed)
        lines << line;
    return lines;
}

void ClientTable::sendTo(int slot, const QString &text) {
    if (isConnected(slot))
        deliver(slot, text.toLatin1());
}

QByteArray ClientTable::read(int slot) {
    return isConnected(slot) ? std::exchange(m_slots[slot].received, {}) : QByteArray();
}

void ClientTable::disconnectAfterSending(int slot) {
    if (!isConnected(slot))
        return;
    m_slots[slot].closing = true;
    unlist(slot);
    if (QTcpSocket *socket = m_slots[slot].socket)
        socket->disconnectFromHost();  // its disconnected signal releases the slot
    else if (m_slots[slot].unsent.isEmpty())
        release(slot);
}

void ClientTable::closeAll() {
    for (int slot = 1; slot <= m_highestSlot; ++slot) {
        if (isConnected(slot))
            release(slot);
    }
}

void ClientTable::markLoggedIn(int slot) {
    if (!isConnected(slot))
        return;
    m_slots[slot].loggedIn = true;
    stopWaiting(slot);
}

bool ClientTable::isLoggedIn(int slot) const {
    return isConnected(slot) && m_slots[slot].loggedIn;
}

void ClientTable::closeWaitingFrom(const QHostAddress &network) {
    const auto found = m_waitingFrom.find(network);
    if (found == m_waitingFrom.end())
        return;
    const std::unordered_set<int> waiting = std::move(found->second);
    m_waitingFrom.erase(found);
    for (const int slot : waiting)
        release(slot);
}

void ClientTable::reportSocketError(int error, const QString &description) {
    m_appendDeviceOutput(timestamp() + QStringLiteral("Error: ") + QString::number(error) +
                         QStringLiteral("  Description: ") + description);
}

void ClientTable::report(const QString &text) {
    m_appendDeviceOutput(timestamp() + text);
}

QString ClientTable::timestamp() const {
    return QStringLiteral("\r\n") + m_now().toString(kTimeFormat);
}

bool ClientTable::isConnected(int slot) const {
    return slot >= 1 && slot <= m_highestSlot && (m_slots[slot].fd >= 0 || m_slots[slot].socket) &&
           !m_slots[slot].closing;
}

void ClientTable::deliver(int slot, const QByteArray &bytes) {
    Slot &client = m_slots[slot];
    // Otherwise a client that never reads would make the server keep every later text.
    if (unsentOf(client) > m_unsentBounds.perClient) {
        report(QStringLiteral("Client [%1] dropped: it has stopped reading.").arg(slot));
        release(slot);
        return;
    }
    if (client.socket) {
        client.socket->write(bytes);
    } else if (client.unsent.isEmpty()) {
        // Straight to the kernel when nothing waits before these bytes; what it refuses
        // waits for the socket to take more.
        const ssize_t sent =
            ::send(client.fd, bytes.constData(), size_t(bytes.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        // On a failure the read side reports the end of the connection, or its error.
        if (sent == bytes.size() || (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
            return;
        client.unsent = bytes.mid(std::max<qsizetype>(sent, 0));
        m_poller.change(client.fd, kReadingAndWriting);
    } else {
        client.unsent += bytes;
    }
    recount(slot, unsentOf(client));
    dropSlowestWhileOverTotal();
}

qint64 ClientTable::unsentOf(const Slot &client) {
    if (!client.socket)
        return client.unsent.size();
    // A TLS socket encrypts at once and keeps the encrypted bytes until the kernel takes them.
    const auto *tls = qobject_cast<const QSslSocket *>(client.socket);
    return client.socket->bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0);
}

void ClientTable::recount(int slot, qint64 unsent) {
    Slot &client = m_slots[slot];
    if (unsent == client.counted)
        return;
    if (client.counted > 0)
        m_byUnsent.erase({client.counted, slot});
    if (unsent > 0)
        m_byUnsent.emplace(unsent, slot);
    m_unsentTotal += unsent - client.counted;
    client.counted = unsent;
}

void ClientTable::dropSlowestWhileOverTotal() {
    while (m_unsentTotal > m_unsentBounds.total) {
        const int slowest = m_byUnsent.rbegin()->second;
        report(QStringLiteral("Client [%1] dropped: it reads the slowest while all clients hold "
                              "more than %2 unsent.")
                   .arg(slowest)
                   .arg(QLocale::c().formattedDataSize(m_unsentBounds.total, 0)));
        release(slowest);
    }
}

void ClientTable::writeUnsent(int slot) {
    Slot &client = m_slots[slot];
    const ssize_t sent = ::send(client.fd, client.unsent.constData(), size_t(client.unsent.size()),
                                MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            endConnection(slot, errno);
        return;
    }
    client.unsent.remove(0, sent);
    recount(slot, client.unsent.size());
    if (!client.unsent.isEmpty())
        return;
    client.unsent = QByteArray();  // gives back the buffer of a large answer
    if (client.closing)
        release(slot);
    else
        m_poller.change(client.fd, kReading);
}

void ClientTable::release(int slot) {
    Slot &client = m_slots[slot];
    unlist(slot);
    recount(slot, 0);
    if (QTcpSocket *socket = client.socket) {
        socket->disconnect(this);
        socket->abort();
        // Released from inside its own signal, so deleted once that has returned.
        socket->deleteLater();
    } else {
        m_poller.forget(client.fd);
        ::close(client.fd);
        m_slotOfFd[client.fd] = 0;
    }
    --m_open;
    if (const auto from = m_openFrom.find(client.address); --from->second == 0)
        m_openFrom.erase(from);
    client = Slot{};
    m_freeSlots.push(slot);
    if (++m_releasesSinceTrim >= kReleasesBeforeTrim)
        trimMemorySoon();
}

void ClientTable::unlist(int slot) {
    stopWaiting(slot);
    if (m_listed.erase(slot) > 0)
        emit clientUnlisted(slot);
}

void ClientTable::stopWaiting(int slot) {
    const auto found = m_waitingFrom.find(networkOf(m_slots[slot].address));
    if (found != m_waitingFrom.end() && found->second.erase(slot) > 0 && found->second.empty())
        m_waitingFrom.erase(found);
}

void ClientTable::trimMemorySoon() {
    m_releasesSinceTrim = 0;
    if (m_trimPending)
        return;
    m_trimPending = true;
    QTimer::singleShot(kTrimDelayMs, this, [this] {
        m_trimPending = false;
#ifdef __GLIBC__
        ::malloc_trim(0);
#endif
    });
}

void ClientTable::handleEvents(int fd, std::uint32_t events) {
    const int slot = fd < int(m_slotOfFd.size()) ? m_slotOfFd[fd] : 0;
    if (slot == 0)
        return;  // released while this pass of events was being handled
    if (events & EPOLLERR) {
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        endConnection(slot, error);
        return;
    }
    if (events & EPOLLOUT) {
        writeUnsent(slot);
        if (m_slots[slot].fd != fd)
            return;
    }
    if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP)) {
        const std::optional<int> end = receive(slot);
        // A client being closed has nothing more to say.
        if (m_slots[slot].closing)
            m_slots[slot].received.clear();
        else if (!m_slots[slot].received.isEmpty())
            emit dataArrived(slot);
        if (end && m_slots[slot].fd == fd)
            endConnection(slot, *end);
    }
}

std::optional<int> ClientTable::receive(int slot) {
    Slot &client = m_slots[slot];
    char buffer[16 * 1024];
    while (client.received.size() <= kMaxClientMessageBytes) {
        const size_t wanted = std::min<size_t>(
            sizeof buffer, size_t(kMaxClientMessageBytes + 1 - client.received.size()));
        const ssize_t got = ::recv(client.fd, buffer, wanted, MSG_DONTWAIT);
        if (got > 0) {
            client.received.append(buffer, got);
            continue;
        }
        if (got == 0)
            return 0;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return errno;
        return std::nullopt;
    }
    return std::nullopt;
}

void ClientTable::endConnection(int slot, int error) {
    if (!isOrdinaryEnd(error))
        reportSocketError(error, systemErrorText(error));
    release(slot);
}

}  // namespace ringwise
