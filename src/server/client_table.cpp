#include "server/client_table.h"

#include <sys/socket.h>

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace ringwise {

namespace {

// Clients are listed as dotted IPv4, also when the stack reports an IPv4-mapped address.
QString dottedAddress(const QHostAddress &address) {
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(ipv4).toString() : address.toString();
}

}  // namespace

ClientTable::ClientTable(std::function<void(const QString &)> appendDeviceOutput,
                         std::function<QDateTime()> now, int maxSlots, qint64 maxUnsentBytes,
                         QObject *parent)
    : QObject(parent),
      m_appendDeviceOutput(std::move(appendDeviceOutput)),
      m_now(std::move(now)),
      m_maxSlots(maxSlots),
      m_maxUnsentBytes(maxUnsentBytes),
      m_slots(1) {}

ClientTable::~ClientTable() {
    // The sockets die with the table as its children; none may call back into it then.
    for (QTcpSocket *socket : findChildren<QTcpSocket *>())
        socket->disconnect(this);
}

void ClientTable::setLoginRequired(std::function<bool()> loginRequired) {
    m_loginRequired = std::move(loginRequired);
}

std::optional<int> ClientTable::AllocateSlot() {
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

void ClientTable::attach(int slot, QTcpSocket *socket) {
    Q_ASSERT(slot >= 1 && slot <= m_highestSlot && !m_slots[slot].socket);
    socket->setParent(this);
    // A client whose network vanished without a close is noticed by the keep-alive.
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    socket->setReadBufferSize(kMaxMessageBytes + 1);
    m_slots[slot] = Slot{socket, false};
    const QString line = QStringLiteral("[%1]: %2:%3")
                             .arg(slot)
                             .arg(dottedAddress(socket->peerAddress()))
                             .arg(socket->peerPort());
    m_listed.emplace(slot, line);
    emit clientListed(slot, line);
    // A connection that is being closed leaves the list at once, before its slot is free.
    connect(socket, &QTcpSocket::stateChanged, this,
            [this, slot, socket](QAbstractSocket::SocketState state) {
                if (state != QAbstractSocket::ConnectedState && m_slots[slot].socket == socket)
                    unlist(slot);
            });
    connect(socket, &QTcpSocket::readyRead, this,
            [this, slot, socket] { handleReadyRead(slot, socket); });
    connect(socket, &QTcpSocket::disconnected, this,
            [this, slot, socket] { handleDisconnected(slot, socket); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, slot, socket](QAbstractSocket::SocketError error) {
                handleError(slot, socket, error);
            });
}

void ClientTable::SendToClients(const QString &text) {
    const QByteArray bytes = text.toLatin1();
    const bool loginRequired = m_loginRequired && m_loginRequired();
    const int bound = m_highestSlot;
    for (int slot = 1; slot <= bound; ++slot) {
        QTcpSocket *socket = connectedSocket(slot);
        if (socket && (!loginRequired || m_slots[slot].loggedIn))
            deliver(slot, socket, bytes);
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
    if (QTcpSocket *socket = connectedSocket(slot))
        deliver(slot, socket, text.toLatin1());
}

QByteArray ClientTable::read(int slot) {
    QTcpSocket *socket = connectedSocket(slot);
    return socket ? socket->readAll() : QByteArray();
}

void ClientTable::disconnectAfterSending(int slot) {
    if (QTcpSocket *socket = connectedSocket(slot))
        socket->disconnectFromHost();
}

void ClientTable::closeAll() {
    for (int slot = 1; slot <= m_highestSlot; ++slot) {
        if (connectedSocket(slot))
            release(slot);
    }
}

void ClientTable::markLoggedIn(int slot) {
    if (connectedSocket(slot))
        m_slots[slot].loggedIn = true;
}

bool ClientTable::isLoggedIn(int slot) const {
    return connectedSocket(slot) && m_slots[slot].loggedIn;
}

void ClientTable::reportSocketError(int error, const QString &description) {
    m_appendDeviceOutput(timestamp() + QStringLiteral("Error: ") + QString::number(error) +
                         QStringLiteral("  Description: ") + description);
}

QString ClientTable::timestamp() const {
    return QStringLiteral("\r\n") + m_now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void ClientTable::deliver(int slot, QTcpSocket *socket, const QByteArray &bytes) {
    // Otherwise a client that never reads would make the server keep every later text.
    if (socket->bytesToWrite() > m_maxUnsentBytes) {
        m_appendDeviceOutput(
            timestamp() + QStringLiteral("Client [%1] dropped: it has stopped reading.").arg(slot));
        socket->abort();
        if (m_slots[slot].socket == socket)
            release(slot);
        return;
    }
    // Straight to the kernel when nothing waits before these bytes: queueing them in the
    // socket would cost a write notification and a wake-up for every client.
    if (socket->bytesToWrite() == 0) {
        const ssize_t sent = ::send(int(socket->socketDescriptor()), bytes.constData(),
                                    size_t(bytes.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent == bytes.size())
            return;
        if (sent > 0) {
            socket->write(bytes.constData() + sent, bytes.size() - sent);
            return;
        }
    }
    // Queued: the rest goes out when the kernel takes it, and a broken connection is
    // reported by the socket itself.
    socket->write(bytes);
}

QTcpSocket *ClientTable::connectedSocket(int slot) const {
    if (slot < 1 || slot > m_highestSlot)
        return nullptr;
    QTcpSocket *socket = m_slots[slot].socket;
    return socket && socket->state() == QAbstractSocket::ConnectedState ? socket : nullptr;
}

void ClientTable::release(int slot) {
    QTcpSocket *socket = m_slots[slot].socket;
    unlist(slot);
    m_slots[slot] = Slot{};
    m_freeSlots.push(slot);
    socket->disconnect(this);
    // What was already handed to the socket still goes out before it closes.
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
    if (++m_releasesSinceTrim >= kReleasesBeforeTrim)
        trimMemorySoon();
}

void ClientTable::unlist(int slot) {
    if (m_listed.erase(slot) > 0)
        emit clientUnlisted(slot);
}

void ClientTable::trimMemorySoon() {
    // After many clients have left, the allocator keeps their freed memory for later use;
    // once the sockets are gone (they are deleted later), it goes back to the system.
    constexpr int kTrimDelayMs = 500;
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

void ClientTable::handleReadyRead(int slot, QTcpSocket *socket) {
    if (m_slots[slot].socket != socket)
        return;
    if (socket->state() == QAbstractSocket::ConnectedState)
        emit dataArrived(slot);
    else
        socket->readAll();  // a client being closed has nothing more to say
}

void ClientTable::handleDisconnected(int slot, QTcpSocket *socket) {
    if (m_slots[slot].socket != socket)
        return;
    release(slot);
}

void ClientTable::handleError(int slot, QTcpSocket *socket, int error) {
    // The peer closing (or resetting) is the close event that follows, not a fault.
    if (m_slots[slot].socket != socket || error == QAbstractSocket::RemoteHostClosedError)
        return;
    reportSocketError(error, socket->errorString());
    release(slot);
}

}  // namespace ringwise
