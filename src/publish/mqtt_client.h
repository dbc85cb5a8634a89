// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

#include "publish/mosquitto_library.h"
#include "publish/mqtt_messages.h"

class QSocketNotifier;

namespace ringwise {

// Where and how to connect. `host` is an address unless TLS needs the name to check the
// broker's certificate (see MqttPublisher).
struct MqttEndpoint {
    QString host;
    quint16 port = 0;
    QString user;
    QString password;
    bool tls = false;
    QString caFile;  // empty: the system's certificates
    MqttMessage will;
};

// One libmosquitto client driven by Qt's event loop: its socket is watched by socket
// notifiers (reading always, writing while the library has bytes to send), a timer runs its
// keep-alive, and no call waits on the network. Each connection attempt is a fresh client, so
// a lost connection ends without a DISCONNECT and the broker sends the will.
class MqttClient : public QObject {
    Q_OBJECT
public:
    static constexpr int kConnectTimeoutMs = 10000;
    static constexpr int kKeepAliveSeconds = 30;

    explicit MqttClient(const MosquittoLibrary &library, QObject *parent = nullptr);
    ~MqttClient() override;

    // Starts connecting; `connected` or `lost` follows.
    void connectTo(const MqttEndpoint &endpoint);
    // Hands a message to the library (QoS 1); its id, which `published` reports once the
    // broker has it, or -1 when there is no connection.
    int publish(const MqttMessage &message);
    // Publishes a last message and says goodbye, so the broker sends no will.
    void disconnectWith(const MqttMessage &last);
    // Drops the connection at once, without a word to the broker.
    void abort();
    bool isConnected() const { return m_connected; }

signals:
    void connected();
    void lost(const QString &reason);
    void published(int messageId);

private:
    static void onConnect(mosquitto *client, void *self, int code);
    static void onPublish(mosquitto *client, void *self, int messageId);
    void watchSocket();
    // Before the broker's answer: fails with the socket's pending error (a refused
    // connection), which libmosquitto does not always see with TLS.
    bool failedToConnect(int socket);
    // Acts on what a libmosquitto call returned, then on the connection's answer.
    void check(int result);
    void fail(const QString &reason);

    MosquittoLibrary m_library;
    mosquitto *m_client = nullptr;
    std::unique_ptr<QSocketNotifier> m_readable;
    std::unique_ptr<QSocketNotifier> m_writable;
    QTimer m_keepAlive;
    QTimer m_connectTimeout;
    int m_startError = 0;    // what failed while the connection was opened, if anything
    int m_connackCode = -1;  // the broker's answer to CONNECT; -1 while none came
    bool m_connected = false;
};

}  // namespace ringwise
