// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/web_server.h"

#include <QHostInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QNetworkRequest>
#include <QSslSocket>

#include "web/web_api.h"

namespace ringwise {

namespace {

const QByteArray kEventsPath = QByteArrayLiteral("/events");
const QString kDeadlineName = QStringLiteral("deadline");

// What the web port knows of one connection's bytes, ahead of the HTTP server.
struct ConnectionState {
    RequestGate gate;
    bool refused = false;
    bool betweenRequests = false;  // the idle deadline runs
};

QByteArray headerValue(const QHttpServerRequest &request, QByteArrayView name) {
    QByteArray value;
    for (const auto &[key, text] : request.headers()) {
        if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0)
            value += value.isEmpty() ? text : "; " + text;
    }
    return value;
}

QByteArray methodName(QHttpServerRequest::Method method) {
    switch (method) {
        case QHttpServerRequest::Method::Get:
            return "GET";
        case QHttpServerRequest::Method::Post:
            return "POST";
        default:
            return "OTHER";
    }
}

// As the HTTP server's parser tells one: an "Upgrade" header alone leaves an ordinary
// request, which must get an ordinary answer.
bool isWebSocketUpgrade(const QHttpServerRequest &request) {
    const QList<QByteArray> connection = headerValue(request, "connection").split(',');
    return headerValue(request, "upgrade").compare("websocket", Qt::CaseInsensitive) == 0 &&
           std::any_of(connection.begin(), connection.end(), [](const QByteArray &option) {
               return option.trimmed().compare("upgrade", Qt::CaseInsensitive) == 0;
           });
}

void write(QHttpServerResponder responder, const WebResponse &response) {
    responder.writeStatusLine(QHttpServerResponder::StatusCode(response.status));
    for (const auto &[name, value] : securityHeaders())
        responder.writeHeader(name, value);
    for (const auto &[name, value] : response.headers)
        responder.writeHeader(name, value);
    if (!response.contentType.isEmpty())
        responder.writeHeader("Content-Type", response.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(response.body.size()));
    responder.writeBody(response.body);
}

}  // namespace

std::vector<std::pair<QByteArray, QByteArray>> securityHeaders() {
    return {{"Content-Security-Policy",
             "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
             "connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'"},
            {"X-Content-Type-Options", "nosniff"},
            {"Referrer-Policy", "no-referrer"}};
}

WebListener::WebListener(std::optional<QSslConfiguration> tls, WebTimeouts timeouts,
                         QObject *parent)
    : QSslServer(parent), m_tls(tls.has_value()), m_timeouts(timeouts) {
    if (tls)
        setSslConfiguration(*tls);
}

void WebListener::incomingConnection(qintptr descriptor) {
    if (m_tls)
        QSslServer::incomingConnection(descriptor);
    else
        QTcpServer::incomingConnection(descriptor);  // a plain socket
}

QTcpSocket *WebListener::nextPendingConnection() {
    while (QTcpSocket *socket = QSslServer::nextPendingConnection()) {
        if (admit(socket))
            return socket;
        socket->abort();
        socket->deleteLater();
    }
    return nullptr;
}

bool WebListener::admit(QTcpSocket *socket) {
    const QHostAddress address = socket->peerAddress();
    int &fromAddress = m_perAddress[address];
    if (m_connections >= kMaxConnections || fromAddress >= kMaxPerAddress) {
        if (fromAddress == 0)
            m_perAddress.remove(address);
        return false;
    }
    ++fromAddress;
    ++m_connections;
    // The count goes back with a child of the socket: Qt's server cuts every connection of
    // the socket's own signals when it hands the socket to a WebSocket.
    connect(new QObject(socket), &QObject::destroyed, this, [this, address] { release(address); });
    // A peer that went away without a word is found out by the system's keep-alive probes.
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    auto *deadline = new QTimer(socket);
    deadline->setObjectName(kDeadlineName);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, [socket] { socket->abort(); });
    deadline->start(m_timeouts.requestMs);
    // Connected before the HTTP server connects its own, so the gate reads each new piece
    // first; a refused request's bytes are taken away before the server sees them.
    auto state = std::make_shared<ConnectionState>();
    connect(socket, &QTcpSocket::readyRead, socket,
            [socket, state, deadline, timeouts = m_timeouts] {
                if (state->refused) {
                    socket->readAll();
                    return;
                }
                const RequestGate::Verdict verdict =
                    state->gate.feed(socket->peek(socket->bytesAvailable()));
                // The idle time restarts when a request is whole; the next one runs against the
                // request deadline from its first byte, as the first does from the connection.
                if (state->gate.idle()) {
                    deadline->start(timeouts.idleMs);
                    state->betweenRequests = true;
                } else if (state->betweenRequests) {
                    deadline->start(timeouts.requestMs);
                    state->betweenRequests = false;
                }
                if (verdict.status == 0)
                    return;
                state->refused = true;
                socket->readAll();
                refuse(socket, verdict);
            });
    return true;
}

void WebListener::becameWebSocket(QTcpSocket *socket) {
    delete socket->findChild<QTimer *>(kDeadlineName, Qt::FindDirectChildrenOnly);
}

void WebListener::release(const QHostAddress &address) {
    --m_connections;
    const auto count = m_perAddress.find(address);
    if (count != m_perAddress.end() && --*count == 0)
        m_perAddress.erase(count);
}

void WebListener::refuse(QTcpSocket *socket, const RequestGate::Verdict &verdict) {
    const QByteArray body = "{\"error\":\"" + verdict.error + "\"}";
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(verdict.status) + " Refused\r\n";
    for (const auto &[name, value] : securityHeaders())
        answer += name + ": " + value + "\r\n";
    answer +=
        "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    socket->write(answer);
    socket->disconnectFromHost();
}

WebServer::WebServer(WebApi &api, WebTimeouts timeouts, QObject *parent)
    : QAbstractHttpServer(parent),
      m_api(api),
      m_hostGuard(QHostInfo::localHostName(), QHostInfo::localDomainName()),
      m_timeouts(timeouts) {
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &WebServer::takeWebSockets);
    connect(&m_pings, &QTimer::timeout, this, &WebServer::ping);
    m_pings.start(m_timeouts.pingMs);
}

WebServer::~WebServer() = default;

bool WebServer::listen(const QHostAddress &address, quint16 port,
                       std::optional<QSslConfiguration> tls) {
    m_secure = tls.has_value();
    auto listener = std::make_unique<WebListener>(std::move(tls), m_timeouts);
    if (!listener->listen(address, port))
        return false;
    m_listener = listener.release();
    bind(m_listener);  // the HTTP server owns it from here
    return true;
}

quint16 WebServer::port() const {
    return m_listener ? m_listener->serverPort() : 0;
}

std::optional<WebResponse> WebServer::refusal(const QHttpServerRequest &request) const {
    const QByteArray host = headerValue(request, "host");
    if (!m_hostGuard.admitsHost(host))
        return WebResponse{421,
                           "text/plain; charset=utf-8",
                           "This page answers only to the machine's own name or address.\n",
                           {}};
    // Reading needs the session or token that only the page's own origin can have; what
    // changes things, or listens to every call, must also come from it. Under the page's
    // no-referrer policy its own forms and fetches send the origin "null": those changes
    // still need the token.
    const QByteArray origin = headerValue(request, "origin");
    const bool changes = request.method() != QHttpServerRequest::Method::Get;
    if (isWebSocketUpgrade(request) || (changes && origin != "null")) {
        if (!HostGuard::sameOrigin(origin, host, m_secure))
            return WebResponse{403, "application/json", R"({"error":"origin"})", {}};
    }
    return std::nullopt;
}

bool WebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) {
    // An upgrade the server takes becomes a WebSocket; one it refuses goes to missingHandler.
    if (isWebSocketUpgrade(request)) {
        const bool taken = !refusal(request) &&
                           request.url().path() == QLatin1String(kEventsPath) &&
                           m_api.admitsCookies(headerValue(request, "cookie"));
        if (taken)
            WebListener::becameWebSocket(socket);
        return taken;
    }
    if (const std::optional<WebResponse> refused = refusal(request)) {
        write(makeResponder(request, socket), *refused);
        return true;
    }
    const WebRequest webRequest{methodName(request.method()),
                                request.url().path(),
                                request.query(),
                                headerValue(request, "cookie"),
                                headerValue(request, "x-ringwise-token"),
                                request.body(),
                                request.remoteAddress(),
                                m_secure};
    write(makeResponder(request, socket), m_api.handle(webRequest));
    if (webRequest.path == QLatin1String("/logout"))
        closeEndedSessions();
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) {
    const bool events = request.url().path() == QLatin1String(kEventsPath);
    write(makeResponder(request, socket),
          refusal(request).value_or(
              events ? WebResponse{401, "application/json", R"({"error":"login"})", {}}
                     : WebResponse{404, "application/json", R"({"error":"notFound"})", {}}));
}

void WebServer::takeWebSockets() {
    while (std::unique_ptr<QWebSocket> webSocket = nextPendingWebSocketConnection()) {
        QWebSocket *socket = webSocket.get();
        // The page sends nothing: a big message is no one's.
        socket->setMaxAllowedIncomingMessageSize(RequestGate::kMaxBytes);
        socket->setMaxAllowedIncomingFrameSize(RequestGate::kMaxBytes);
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { forget(socket); });
        connect(socket, &QWebSocket::pong, this, [this, socket] { m_unanswered.remove(socket); });
        m_webSockets.push_back(std::move(webSocket));
    }
}

void WebServer::forget(QWebSocket *webSocket) {
    const auto found =
        std::find_if(m_webSockets.begin(), m_webSockets.end(),
                     [webSocket](const auto &held) { return held.get() == webSocket; });
    if (found == m_webSockets.end())
        return;
    m_unanswered.remove(webSocket);
    // Its own signal is running: it goes once that returns.
    found->release()->deleteLater();
    m_webSockets.erase(found);
}

void WebServer::ping() {
    std::vector<QWebSocket *> silent;
    for (const auto &webSocket : m_webSockets) {
        if (m_unanswered.contains(webSocket.get())) {
            silent.push_back(webSocket.get());
        } else {
            m_unanswered.insert(webSocket.get());
            webSocket->ping();
        }
    }
    // Gone without a word: no closing handshake would be answered either. Aborting one
    // forgets it at once, so not while the list is being read.
    for (QWebSocket *webSocket : silent)
        webSocket->abort();
}

void WebServer::sendEvent(const QJsonObject &event) {
    // A session that went idle too long gets no more events.
    closeEndedSessions();
    const QString text = QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact));
    for (const auto &webSocket : m_webSockets) {
        if (webSocket->state() == QAbstractSocket::ConnectedState)
            webSocket->sendTextMessage(text);
    }
}

void WebServer::closeEndedSessions() {
    for (const auto &webSocket : m_webSockets) {
        if (!m_api.stillAdmits(webSocket->request().rawHeader("Cookie")))
            webSocket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                             QStringLiteral("session ended"));
    }
}

}  // namespace ringwise
