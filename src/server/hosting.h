// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QString>
#include <optional>
#include <unordered_map>

#include "server/hosting_status.h"
#include "server/listener.h"
#include "server/peer_address.h"

namespace ringwise {

class ClientProtocol;
class ClientTable;
class LoginThrottle;

// What a front end shows when listening fails.
inline const QString kBindErrorTitle = QStringLiteral("Bind Error.");
QString bindErrorText();

// The listening socket: accepts each client into a slot of the table, greets it and starts
// its login deadline; keeps the hosting labels.
class Hosting : public QObject {
    Q_OBJECT
public:
    // A TLS client that has not finished its handshake by then is dropped.
    static constexpr int kHandshakeTimeoutMs = 10000;
    // Handshakes under way at once, in all and from one network (see networkOf); more
    // connections are closed at once.
    static constexpr int kMaxHandshakes = 64;
    static constexpr int kMaxHandshakesPerNetwork = 4;

    Hosting(ClientTable &table, ClientProtocol &protocol, LoginThrottle &throttle, QString version,
            QObject *parent = nullptr);

    // False when the address and port cannot be listened on (the port is taken, the
    // address is not this machine's); the caller raises the bind error.
    bool StartHosting(const QHostAddress &address, quint16 port);
    void StopHosting();
    // A second listening port for clients that speak TLS; false when it cannot be listened
    // on. Inside the encryption the conversation is the plain port's, byte for byte.
    bool StartTls(const QHostAddress &address, quint16 port, const QSslConfiguration &tls);
    quint16 tlsPort() const { return m_tlsServer.serverPort(); }

    bool isHosting() const { return m_server.isListening(); }
    const HostingStatus &status() const { return m_status; }
    // The port actually bound, which differs from the one asked for when that was 0.
    quint16 localPort() const { return m_server.serverPort(); }
    // Connections closed unseen because a cap was reached.
    quint64 refusedOverCap() const { return m_refusedOverCap; }

signals:
    void statusChanged(const ringwise::HostingStatus &status);

private:
    void admit(int fd);
    void admitTls(int fd);
    void greet(int slot);
    // Hosting lets go of the socket: its signals, its deadline, its place among handshakes.
    void endHandshake(QSslSocket *socket, const Peer &peer);
    void handshakeDone(QSslSocket *socket, const Peer &peer);
    void handshakeFailed(QSslSocket *socket, const Peer &peer, const QString &why);
    // Whether a new connection from the address may be greeted: not while the throttle
    // blocks it, nor over a cap (reported once per burst).
    bool mayConnect(const QHostAddress &address);
    void setStatus(const HostingStatus &status);

    ClientTable &m_table;
    ClientProtocol &m_protocol;
    LoginThrottle &m_throttle;
    const QString m_greeting;
    // Each hands its accepted connections over as bare descriptors: a plain one goes to the
    // client table, which watches it itself, so no socket object per client is made.
    Listener m_server;
    Listener m_tlsServer;
    // Made by StartTls: even an empty configuration starts Qt's TLS backend (OpenSSL and its
    // certificate store), which a server without a TLS port does without.
    std::optional<QSslConfiguration> m_tls;
    HostingStatus m_status;
    quint64 m_refusedOverCap = 0;
    // Set by a refusal over a cap, cleared by the next connection let in: a flood is one
    // line of device output, not one per connection.
    bool m_capBurstReported = false;
    int m_handshakes = 0;
    std::unordered_map<QHostAddress, int, AddressHash> m_handshakesFrom;  // by network
};

}  // namespace ringwise
