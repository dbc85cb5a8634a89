// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/mqtt_client.h"

#include <sys/socket.h>

#include <QSocketNotifier>

#include "call/system_error.h"

namespace ringwise {

namespace {

// A library's sentence as the reason in a message: "A TLS error occurred." becomes "a TLS
// error occurred".
QString reason(QString text) {
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

QString resultText(const MosquittoLibrary &library, int result) {
    if (result == MOSQ_ERR_ERRNO)
        return reason(systemErrorText());
    if (result == MOSQ_ERR_CONN_LOST || result == MOSQ_ERR_NO_CONN)
        return QStringLiteral("the connection was closed");
    if (result == MOSQ_ERR_KEEPALIVE)
        return QStringLiteral("no answer within the keep-alive time");
    return reason(QString::fromUtf8(library.errorText(result)));
}

// "Connection Refused: not authorised." becomes "not authorised".
QString refusalText(const MosquittoLibrary &library, int code) {
    return reason(QString::fromUtf8(library.refusalText(code))
                      .remove(QStringLiteral("Connection Refused: ")));
}

QByteArray utf8(const QString &text) {
    return text.toUtf8();
}

}  // namespace

MqttClient::MqttClient(const MosquittoLibrary &library, QObject *parent)
    : QObject(parent), m_library(library) {
    m_keepAlive.setInterval(1000);
    connect(&m_keepAlive, &QTimer::timeout, this, [this] { check(m_library.loopMisc(m_client)); });
    m_connectTimeout.setSingleShot(true);
    m_connectTimeout.setInterval(kConnectTimeoutMs);
    connect(&m_connectTimeout, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("no answer within %1 s").arg(kConnectTimeoutMs / 1000));
    });
}

MqttClient::~MqttClient() {
    abort();
}

void MqttClient::connectTo(const MqttEndpoint &endpoint) {
    abort();
    m_client = m_library.create(nullptr, true, this);
    if (!m_client) {
        fail(reason(systemErrorText()));
        return;
    }
    m_library.intOption(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    m_library.connectCallbackSet(m_client, &MqttClient::onConnect);
    m_library.publishCallbackSet(m_client, &MqttClient::onPublish);
    m_connackCode = -1;
    int result = MOSQ_ERR_SUCCESS;
    if (!endpoint.user.isEmpty())
        result = m_library.usernamePasswordSet(
            m_client, utf8(endpoint.user).constData(),
            endpoint.password.isEmpty() ? nullptr : utf8(endpoint.password).constData());
    if (result == MOSQ_ERR_SUCCESS)
        result = m_library.willSet(m_client, utf8(endpoint.will.topic).constData(),
                                   int(endpoint.will.payload.size()),
                                   endpoint.will.payload.constData(), 1, endpoint.will.retain);
    if (result == MOSQ_ERR_SUCCESS && endpoint.tls) {
        if (endpoint.caFile.isEmpty())
            result = m_library.intOption(m_client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        else
            result = m_library.tlsSet(m_client, endpoint.caFile.toLocal8Bit().constData(), nullptr,
                                      nullptr, nullptr, nullptr);
        if (result != MOSQ_ERR_SUCCESS) {
            fail(endpoint.caFile.isEmpty()
                     ? QStringLiteral("the system's certificate authorities cannot be used")
                     : QStringLiteral("the CA file %1 cannot be used").arg(endpoint.caFile));
            return;
        }
    }
    // The host is an address here (names are resolved before), so this only opens a
    // non-blocking socket and queues CONNECT; the answer comes through the socket.
    errno = 0;
    if (result == MOSQ_ERR_SUCCESS)
        result = m_library.connectAsync(m_client, utf8(endpoint.host).constData(), endpoint.port,
                                        kKeepAliveSeconds);
    if (result != MOSQ_ERR_SUCCESS) {
        fail(resultText(m_library, result));
        return;
    }
    // With TLS, a refusal that comes at once (from this host) fails the library's first
    // send, which it takes for a handshake to go on with; errno keeps why.
    m_startError = errno == EINPROGRESS || errno == EAGAIN ? 0 : errno;
    watchSocket();
}

void MqttClient::watchSocket() {
    const int socket = m_library.socket(m_client);
    m_readable = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
    connect(m_readable.get(), &QSocketNotifier::activated, this, [this, socket] {
        if (failedToConnect(socket))
            return;
        check(m_library.loopRead(m_client, 1));
        // With TLS, libmosquitto's read of a closed socket can succeed without reading, and
        // the notifier would fire again at once.
        char byte;
        if (m_client && recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
            fail(!m_connected && m_startError != 0 ? reason(systemErrorText(m_startError))
                                                   : QStringLiteral("the connection was closed"));
    });
    m_writable = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Write);
    connect(m_writable.get(), &QSocketNotifier::activated, this, [this, socket] {
        if (!failedToConnect(socket))
            check(m_library.loopWrite(m_client, 1));
    });
    m_keepAlive.start();
    m_connectTimeout.start();
    check(MOSQ_ERR_SUCCESS);
}

bool MqttClient::failedToConnect(int socket) {
    if (m_connected)
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error == 0)
        return false;
    fail(reason(systemErrorText(error)));
    return true;
}

int MqttClient::publish(const MqttMessage &message) {
    if (!m_connected)
        return -1;
    int id = -1;
    const int result = m_library.publish(m_client, &id, utf8(message.topic).constData(),
                                         int(message.payload.size()), message.payload.constData(),
                                         1, message.retain);
    check(result);
    return result == MOSQ_ERR_SUCCESS ? id : -1;
}

void MqttClient::disconnectWith(const MqttMessage &last) {
    // Both go out now on a writable socket; what the kernel cannot take at once is lost
    // with the client, and the will says "offline" instead.
    if (m_connected && publish(last) >= 0)
        m_library.disconnect(m_client);
    abort();
}

void MqttClient::abort() {
    m_readable.reset();
    m_writable.reset();
    m_keepAlive.stop();
    m_connectTimeout.stop();
    m_connected = false;
    if (m_client)
        m_library.destroy(std::exchange(m_client, nullptr));
}

void MqttClient::onConnect(mosquitto *, void *self, int code) {
    static_cast<MqttClient *>(self)->m_connackCode = code;
}

void MqttClient::onPublish(mosquitto *, void *self, int messageId) {
    emit static_cast<MqttClient *>(self)->published(messageId);
}

void MqttClient::check(int result) {
    if (!m_client)
        return;
    if (result != MOSQ_ERR_SUCCESS) {
        fail(resultText(m_library, result));
        return;
    }
    if (!m_connected && m_connackCode == 0) {
        m_connected = true;
        m_connectTimeout.stop();
        emit connected();
    } else if (m_connackCode > 0) {
        fail(refusalText(m_library, m_connackCode));
        return;
    }
    if (m_client)
        m_writable->setEnabled(m_library.wantWrite(m_client));
}

void MqttClient::fail(const QString &reason) {
    abort();
    emit lost(reason);
}

}  // namespace ringwise
