#include "publish/mqtt_client.h"

#include <mosquitto.h>
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

QString resultText(int result) {
    if (result == MOSQ_ERR_ERRNO)
        return reason(systemErrorText());
    if (result == MOSQ_ERR_CONN_LOST)
        return QStringLiteral("the connection was closed");
    if (result == MOSQ_ERR_KEEPALIVE || result == MOSQ_ERR_NO_CONN)
        return QStringLiteral("no answer within the keep-alive time");
    return reason(QString::fromUtf8(mosquitto_strerror(result)));
}

// "Connection Refused: not authorised." becomes "not authorised".
QString refusalText(int code) {
    return reason(QString::fromUtf8(mosquitto_connack_string(code))
                      .remove(QStringLiteral("Connection Refused: ")));
}

QByteArray utf8(const QString &text) {
    return text.toUtf8();
}

}  // namespace

MqttClient::MqttClient(QObject *parent) : QObject(parent) {
    mosquitto_lib_init();
    m_keepAlive.setInterval(1000);
    connect(&m_keepAlive, &QTimer::timeout, this, [this] { check(mosquitto_loop_misc(m_client)); });
    m_connectTimeout.setSingleShot(true);
    m_connectTimeout.setInterval(kConnectTimeoutMs);
    connect(&m_connectTimeout, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("no answer within %1 s").arg(kConnectTimeoutMs / 1000));
    });
}

MqttClient::~MqttClient() {
    abort();
    mosquitto_lib_cleanup();
}

void MqttClient::connectTo(const MqttEndpoint &endpoint) {
    abort();
    m_client = mosquitto_new(nullptr, true, this);
    if (!m_client) {
        fail(reason(systemErrorText()));
        return;
    }
    mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_client, &MqttClient::onConnect);
    mosquitto_publish_callback_set(m_client, &MqttClient::onPublish);
    m_connackCode = -1;
    int result = MOSQ_ERR_SUCCESS;
    if (!endpoint.user.isEmpty())
        result = mosquitto_username_pw_set(
            m_client, utf8(endpoint.user).constData(),
            endpoint.password.isEmpty() ? nullptr : utf8(endpoint.password).constData());
    if (result == MOSQ_ERR_SUCCESS)
        result = mosquitto_will_set(m_client, utf8(endpoint.will.topic).constData(),
                                    int(endpoint.will.payload.size()),
                                    endpoint.will.payload.constData(), 1, endpoint.will.retain);
    if (result == MOSQ_ERR_SUCCESS && endpoint.tls) {
        if (endpoint.caFile.isEmpty())
            result = mosquitto_int_option(m_client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        else
            result = mosquitto_tls_set(m_client, endpoint.caFile.toLocal8Bit().constData(), nullptr,
                                       nullptr, nullptr, nullptr);
        if (result != MOSQ_ERR_SUCCESS) {
            fail(QStringLiteral("the CA file %1 cannot be used").arg(endpoint.caFile));
            return;
        }
    }
    // The host is an address here (names are resolved before), so this only opens a
    // non-blocking socket and queues CONNECT; the answer comes through the socket.
    if (result == MOSQ_ERR_SUCCESS)
        result = mosquitto_connect_async(m_client, utf8(endpoint.host).constData(), endpoint.port,
                                         kKeepAliveSeconds);
    if (result != MOSQ_ERR_SUCCESS) {
        fail(resultText(result));
        return;
    }
    watchSocket();
}

void MqttClient::watchSocket() {
    const int socket = mosquitto_socket(m_client);
    m_readable = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
    connect(m_readable.get(), &QSocketNotifier::activated, this,
            [this] { check(mosquitto_loop_read(m_client, 1)); });
    m_writable = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Write);
    connect(m_writable.get(), &QSocketNotifier::activated, this,
            [this] { check(mosquitto_loop_write(m_client, 1)); });
    m_keepAlive.start();
    m_connectTimeout.start();
    check(MOSQ_ERR_SUCCESS);
}

int MqttClient::publish(const MqttMessage &message) {
    if (!m_connected)
        return -1;
    int id = -1;
    const int result = mosquitto_publish(m_client, &id, utf8(message.topic).constData(),
                                         int(message.payload.size()), message.payload.constData(),
                                         1, message.retain);
    check(result);
    return result == MOSQ_ERR_SUCCESS ? id : -1;
}

void MqttClient::disconnectWith(const MqttMessage &last) {
    if (m_connected) {
        publish(last);
        // Both go out now on a writable socket; what the kernel cannot take at once is lost
        // with the client, and the will says "offline" instead.
        mosquitto_disconnect(m_client);
    }
    abort();
}

void MqttClient::abort() {
    m_readable.reset();
    m_writable.reset();
    m_keepAlive.stop();
    m_connectTimeout.stop();
    m_connected = false;
    if (m_client)
        mosquitto_destroy(std::exchange(m_client, nullptr));
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
        fail(resultText(result));
        return;
    }
    if (!m_connected && m_connackCode == 0) {
        m_connected = true;
        m_connectTimeout.stop();
        emit connected();
    } else if (m_connackCode > 0) {
        fail(refusalText(m_connackCode));
        return;
    }
    if (m_client)
        m_writable->setEnabled(mosquitto_want_write(m_client));
}

void MqttClient::fail(const QString &reason) {
    abort();
    emit lost(reason);
}

}  // namespace ringwise
