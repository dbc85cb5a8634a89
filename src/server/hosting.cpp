// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/hosting.h"

#include <unistd.h>

#include <QNetworkInterface>
#include <QStringList>
#include <QTimer>

#include "server/client_protocol.h"
#include "server/client_table.h"
#include "server/login_throttle.h"
#include "server/peer_address.h"

namespace ringwise {

namespace {

const QString kLineBreak = QStringLiteral("\r\n");
const QString kHandshakeDeadline = QStringLiteral("handshakeDeadline");

// The host's first IPv4 address that is not loopback, or 127.0.0.1 without one.
QString firstLocalIpv4() {
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address.toString();
    }
    return QHostAddress(QHostAddress::LocalHost).toString();
}

}  // namespace

QString bindErrorText() {
    return QStringList{QStringLiteral("Unable to bind."), QString(),
                       QStringLiteral("Possible errors:"),
                       QStringLiteral("* Make sure the port is not in use."),
                       QStringLiteral("* A Ringwise server is already started at this port.")}
        .join(kLineBreak);
}

Hosting::Hosting(ClientTable &table, ClientProtocol &protocol, LoginThrottle &throttle,
                 QString version, QObject *parent)
    : QObject(parent),
      m_table(table),
      m_protocol(protocol),
      m_throttle(throttle),
      m_greeting(QStringLiteral("Welcome to Ringwise Server [") + version + QStringLiteral("]")),
      m_server([this](int fd) { admit(fd); },
               [this](const QString &text) { m_table.report(text); }),
      m_tlsServer([this](int fd) { admitTls(fd); },
                  [this](const QString &text) { m_table.report(text); }) {}

bool Hosting::StartHosting(const QHostAddress &address, quint16 port) {
    m_server.close();
    if (!m_server.listen(address, port))
        return false;
    // Listening on one address, that address is the one clients reach.
    const bool everyAddress = address == QHostAddress::AnyIPv4 || address == QHostAddress::Any ||
                              address == QHostAddress::AnyIPv6;
    setStatus(HostingStatus{QStringLiteral("Yes"),
                            everyAddress ? firstLocalIpv4() : address.toString(),
                            QString::number(m_server.serverPort())});
    return true;
}

void Hosting::StopHosting() {
    m_table.closeAll();
    m_server.close();
    m_tlsServer.close();
    // Handshakes under way belong to hosting until they finish.
    for (QSslSocket *socket : findChildren<QSslSocket *>(Qt::FindDirectChildrenOnly)) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_handshakes = 0;
    m_handshakesFrom.clear();
    setStatus(HostingStatus{});
}

bool Hosting::StartTls(const QHostAddress &address, quint16 port, const QSslConfiguration &tls) {
    m_tlsServer.close();
    m_tls = tls;
    return m_tlsServer.listen(address, port);
}

void Hosting::admit(int fd) {
    // A request that cannot be taken (refused, no slot left) is dropped alone, without a
    // word; listening goes on.
    const std::optional<int> slot =
        mayConnect(peerOf(fd).address) ? m_table.AllocateSlot() : std::nullopt;
    if (!slot) {
        ::close(fd);
        return;
    }
    m_table.attach(*slot, fd);
    greet(*slot);
}

void Hosting::greet(int slot) {
    m_table.sendTo(slot, m_greeting);
    m_protocol.clientAccepted(slot);
}

void Hosting::admitTls(int fd) {
    const Peer peer = peerOf(fd);
    const QHostAddress network = networkOf(peer.address);
    // One host holding handshakes open must leave room for every other host.
    const auto from = m_handshakesFrom.find(network);
    const bool networkFull =
        from != m_handshakesFrom.end() && from->second >= kMaxHandshakesPerNetwork;
    if (m_handshakes >= kMaxHandshakes || networkFull || !mayConnect(peer.address)) {
        ::close(fd);
        return;
    }
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(fd)) {
        ::close(fd);
        delete socket;
        return;
    }
    ++m_handshakes;
    ++m_handshakesFrom[network];
    socket->setSslConfiguration(*m_tls);
    auto *deadline = new QTimer(socket);
    deadline->setObjectName(kHandshakeDeadline);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, [this, socket, peer] {
        handshakeFailed(socket, peer,
                        QStringLiteral("no handshake within %1 s").arg(kHandshakeTimeoutMs / 1000));
    });
    deadline->start(kHandshakeTimeoutMs);
    connect(socket, &QSslSocket::encrypted, this,
            [this, socket, peer] { handshakeDone(socket, peer); });
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this, socket, peer] { handshakeFailed(socket, peer, socket->errorString()); });
    socket->startServerEncryption();
}

void Hosting::endHandshake(QSslSocket *socket, const Peer &peer) {
    socket->disconnect(this);
    delete socket->findChild<QTimer *>(kHandshakeDeadline, Qt::FindDirectChildrenOnly);
    --m_handshakes;
    if (const auto from = m_handshakesFrom.find(networkOf(peer.address)); --from->second == 0)
        m_handshakesFrom.erase(from);
}

void Hosting::handshakeDone(QSslSocket *socket, const Peer &peer) {
    endHandshake(socket, peer);
    // A block or a cap may have come while the handshake ran.
    const std::optional<int> slot =
        mayConnect(peer.address) ? m_table.AllocateSlot() : std::nullopt;
    if (!slot) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_table.attachSocket(*slot, socket);
    greet(*slot);
}

void Hosting::handshakeFailed(QSslSocket *socket, const Peer &peer, const QString &why) {
    endHandshake(socket, peer);
    m_table.report(QStringLiteral("TLS client %1:%2 dropped: %3")
                       .arg(peer.address.toString())
                       .arg(peer.port)
                       .arg(why));
    socket->abort();
    socket->deleteLater();
}

bool Hosting::mayConnect(const QHostAddress &address) {
    if (!m_throttle.admits(address))
        return false;
    const ClientTable::Room room = m_table.roomFor(address);
    if (room == ClientTable::Room::Free) {
        m_capBurstReported = false;
        return true;
    }
    ++m_refusedOverCap;
    if (!std::exchange(m_capBurstReported, true))
        m_table.report(room == ClientTable::Room::TableFull
                           ? QStringLiteral("Client address %1 refused: no more clients allowed.")
                                 .arg(address.toString())
                           : QStringLiteral("Client address %1 refused: no more connections "
                                            "allowed from it.")
                                 .arg(address.toString()));
    return false;
}

void Hosting::setStatus(const HostingStatus &status) {
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged(m_status);
}

}  // namespace ringwise
