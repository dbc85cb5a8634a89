// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "call/seams.h"
#include "publish/backoff.h"
#include "publish/mqtt_client.h"
#include "publish/mqtt_outbox.h"

namespace ringwise {

// The MQTT settings as the publisher uses them; an empty host leaves publishing off.
struct MqttSettings {
    MqttEndpoint broker;  // the host as set, an address or a name; no will yet
    QString topic;
    bool discovery = true;
    QString version;  // the server's, for Home Assistant's device
};

// Publishes every call line to the broker, never in the call's way: a line is queued in the
// outbox and sent after the handler that announced it has returned; the broker's host name is
// resolved by Qt's asynchronous lookup; a broker that cannot be reached is reported once and
// tried again with a growing wait while the calls wait in the outbox.
class MqttPublisher : public QObject {
    Q_OBJECT
public:
    MqttPublisher(Clock now, Report report, QObject *parent = nullptr);
    ~MqttPublisher() override;

    void start(const MqttSettings &settings);
    // Says "offline" and disconnects; calls still waiting are not sent.
    void stop();
    // A text sent to the clients: a call line is published, anything else ignored.
    void publishLine(const QString &text);

    bool isOn() const { return !m_settings.broker.host.isEmpty(); }

private:
    QString address() const;
    void connectNow();
    // Tries the next of the broker's addresses.
    void connectNext();
    void noteConnected();
    void noteLost(const QString &reason);
    void sendWaiting();

    Clock m_now;
    Report m_report;
    MqttSettings m_settings;
    // Made at start when MQTT is on: libmosquitto starts OpenSSL, which an idle server without
    // MQTT does without.
    std::unique_ptr<MqttClient> m_client;
    MqttOutbox m_outbox;
    Backoff m_backoff;
    QTimer m_retry;
    QTimer m_send;                   // zero-time: sends once the announcing handler has returned
    QHash<int, quint64> m_inFlight;  // libmosquitto's message id to the outbox entry
    QStringList m_addresses;         // the broker's addresses not yet tried in this round
    QByteArray m_lastCall;           // the newest call until the broker has kept it as the last
    int m_lastCallId = -1;           // its last_call message in flight; -1 while none is
    int m_lookupId = -1;
    bool m_reported = false;
};

}  // namespace ringwise
