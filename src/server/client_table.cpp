#include "server/client_table.h"

#include <QHostAddress>
#include <QTcpSocket>

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
    for (int slot = 1; slot <= m_highestSlot; ++slot) {
        if (!m_slots[slot].socket)
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
    RefreshConnectionList();
    const QByteArray bytes = text.toLatin1();
    const bool loginRequired = m_loginRequired && m_loginRequired();
    const int bound = m_highestSlot;
    for (int slot = 1; slot <= bound; ++slot) {
        QTcpSocket *socket = connectedSocket(slot);
        if (socket && (!loginRequired || m_slots[slot].loggedIn))
            deliver(slot, socket, bytes);
    }
}

void ClientTable::RefreshConnectionList() {
    QStringList lines;
    for (int slot = 1; slot <= m_highestSlot; ++slot) {
        if (const QTcpSocket *socket = connectedSocket(slot)) {
            lines << QStringLiteral("[%1]: %2:%3")
                         .arg(slot)
                         .arg(dottedAddress(socket->peerAddress()))
                         .arg(socket->peerPort());
        }
    }
    if (lines == m_connectionList)
        return;
    m_connectionList = lines;
    emit connectionListChanged(m_connectionList);
}

bool ClientTable::isConnected(int slot) const {
    return connectedSocket(slot) != nullptr;
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
    RefreshConnectionList();
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
        RefreshConnectionList();
        return;
    }
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
    m_slots[slot] = Slot{};
    socket->disconnect(this);
    // What was already handed to the socket still goes out before it closes.
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
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
    RefreshConnectionList();
}

void ClientTable::handleError(int slot, QTcpSocket *socket, int error) {
    // The peer closing (or resetting) is the close event that follows, not a fault.
    if (m_slots[slot].socket != socket || error == QAbstractSocket::RemoteHostClosedError)
        return;
    reportSocketError(error, socket->errorString());
    release(slot);
    RefreshConnectionList();
}

}  // namespace ringwise
