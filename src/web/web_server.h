// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractHttpServer>
#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QSet>
#include <QSslConfiguration>
#include <QSslServer>
#include <QTimer>
#include <QWebSocket>
#include <memory>
#include <optional>
#include <vector>

#include "web/host_guard.h"
#include "web/request_gate.h"
#include "web/web_timeouts.h"

namespace ringwise {

class WebApi;
struct WebResponse;

// The listening port of the web page, plain or TLS. Qt's HTTP server of Debian 12 takes
// every connection and reads every request whole; the port refuses what it must not: a
// connection over kMaxPerAddress from one address or kMaxConnections in all (WebSockets
// included: each keeps its connection), through a RequestGate that reads each socket
// ahead of the HTTP server, requests too large (413), and connections that take too long
// over a request or stay idle (WebTimeouts).
class WebListener : public QSslServer {
    Q_OBJECT
public:
    static constexpr int kMaxPerAddress = 64;
    static constexpr int kMaxConnections = 1024;

    // Without a TLS configuration the port speaks plain HTTP.
    WebListener(std::optional<QSslConfiguration> tls, WebTimeouts timeouts,
                QObject *parent = nullptr);

    QTcpSocket *nextPendingConnection() override;
    // The connection is a WebSocket from now on: the server's pings watch it instead.
    static void becameWebSocket(QTcpSocket *socket);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    bool admit(QTcpSocket *socket);
    void release(const QHostAddress &address);
    static void refuse(QTcpSocket *socket, const RequestGate::Verdict &verdict);

    const bool m_tls;
    const WebTimeouts m_timeouts;
    int m_connections = 0;
    QHash<QHostAddress, int> m_perAddress;
};

// The web page's HTTP server and its WebSockets of live events, on one port. Requests go
// to the WebApi; the answers get the headers every answer has (the content security policy
// among them). The WebSocket upgrade at /events needs what the API needs: a live session
// while a password is set.
class WebServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    explicit WebServer(WebApi &api, WebTimeouts timeouts = {}, QObject *parent = nullptr);
    ~WebServer() override;

    // False when the port cannot be listened on.
    bool listen(const QHostAddress &address, quint16 port, std::optional<QSslConfiguration> tls);
    quint16 port() const;
    // Sends the event to every WebSocket whose session is live.
    void sendEvent(const QJsonObject &event);
    // Closes the WebSockets whose session has ended (1008): after a logout or a new password.
    void closeEndedSessions();
    int webSocketCount() const { return int(m_webSockets.size()); }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    // The answer to a request from elsewhere: a Host not this machine's, or a change or a
    // WebSocket from another origin; none for the page's own.
    std::optional<WebResponse> refusal(const QHttpServerRequest &request) const;
    void takeWebSockets();
    void forget(QWebSocket *webSocket);
    void ping();

    WebApi &m_api;
    const HostGuard m_hostGuard;
    WebListener *m_listener = nullptr;
    bool m_secure = false;
    const WebTimeouts m_timeouts;
    QTimer m_pings;
    // Pinged, no pong yet. Declared first: a WebSocket going with the server is forgotten.
    QSet<const QWebSocket *> m_unanswered;
    std::vector<std::unique_ptr<QWebSocket>> m_webSockets;
};

// The headers every answer of the web port has.
std::vector<std::pair<QByteArray, QByteArray>> securityHeaders();

}  // namespace ringwise
