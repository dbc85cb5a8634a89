// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/mqtt_publisher.h"

#include <QHostAddress>
#include <QHostInfo>

#include "call/call_json.h"

namespace ringwise {

namespace {

const QString kTitle = QStringLiteral("MQTT");

}  // namespace

MqttPublisher::MqttPublisher(Clock now, Report report, QObject *parent)
    : QObject(parent), m_now(std::move(now)), m_report(std::move(report)) {
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MqttPublisher::connectNow);
    m_send.setSingleShot(true);
    m_send.setInterval(0);
    connect(&m_send, &QTimer::timeout, this, &MqttPublisher::sendWaiting);
}

MqttPublisher::~MqttPublisher() {
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
}

void MqttPublisher::start(const MqttSettings &settings) {
    m_settings = settings;
    if (!isOn())
        return;
    const std::optional<MosquittoLibrary> library = MosquittoLibrary::load();
    if (!library) {
        m_report(kTitle, QStringLiteral("libmosquitto (libmosquitto.so.1) cannot be loaded; calls "
                                        "are not published. Install the package libmosquitto1."));
        m_settings.broker.host.clear();
        return;
    }
    if (m_settings.broker.user.isEmpty() && !m_settings.broker.password.isEmpty())
        m_report(kTitle,
                 QStringLiteral("MqttPassword is set without MqttUser, so it is not sent."));
    m_client = std::make_unique<MqttClient>(*library);
    // The client tells from inside libmosquitto's calls; acting on it waits until they return.
    connect(m_client.get(), &MqttClient::connected, this, &MqttPublisher::noteConnected,
            Qt::QueuedConnection);
    connect(m_client.get(), &MqttClient::lost, this, &MqttPublisher::noteLost,
            Qt::QueuedConnection);
    connect(m_client.get(), &MqttClient::published, this, [this](int messageId) {
        if (messageId == m_lastCallId) {
            m_lastCall.clear();
            m_lastCallId = -1;
        }
        if (const auto entry = m_inFlight.constFind(messageId); entry != m_inFlight.cend()) {
            m_outbox.acknowledge(*entry);
            m_inFlight.erase(entry);
        }
    });
    connectNow();
}

void MqttPublisher::stop() {
    m_retry.stop();
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(std::exchange(m_lookupId, -1));
    if (m_client)
        m_client->disconnectWith(statusMessage(m_settings.topic, kOffline));
    m_settings.broker.host.clear();
}

void MqttPublisher::publishLine(const QString &text) {
    if (!isOn())
        return;
    const std::optional<ClientCall> call = parseCallLine(text, m_now());
    if (!call)
        return;
    m_lastCall = callJson(*call).toUtf8();
    m_lastCallId = -1;
    m_outbox.push(m_lastCall);
    m_send.start();
}

QString MqttPublisher::address() const {
    return QStringLiteral("%1:%2").arg(m_settings.broker.host).arg(m_settings.broker.port);
}

void MqttPublisher::connectNow() {
    if (!QHostAddress(m_settings.broker.host).isNull()) {
        m_addresses = {m_settings.broker.host};
        connectNext();
        return;
    }
    // libmosquitto resolves names with a blocking getaddrinfo(); Qt's lookup does not block.
    m_lookupId = QHostInfo::lookupHost(m_settings.broker.host, this, [this](const QHostInfo &info) {
        m_lookupId = -1;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            noteLost(QStringLiteral("host not found"));
            return;
        }
        // TLS checks the certificate against the name, so libmosquitto must get the name;
        // it looks it up again, blocking, and tries only the first address.
        m_addresses.clear();
        if (m_settings.broker.tls)
            m_addresses << m_settings.broker.host;
        else
            for (const QHostAddress &address : info.addresses())
                m_addresses << address.toString();
        connectNext();
    });
}

void MqttPublisher::connectNext() {
    MqttEndpoint endpoint = m_settings.broker;
    endpoint.host = m_addresses.takeFirst();
    endpoint.will = statusMessage(m_settings.topic, kOffline);
    m_client->connectTo(endpoint);
}

void MqttPublisher::noteConnected() {
    if (!m_client->isConnected())
        return;
    m_backoff.reset();
    m_addresses.clear();
    const int dropped = m_outbox.takeDropped();
    if (std::exchange(m_reported, false) || dropped > 0)
        m_report(kTitle, dropped == 0 ? QStringLiteral("connected to %1 again.").arg(address())
                                      : QStringLiteral("connected to %1 again; the %2 oldest "
                                                       "calls were dropped while it was away.")
                                            .arg(address())
                                            .arg(dropped));
    m_client->publish(statusMessage(m_settings.topic, kOnline));
    if (m_settings.discovery) {
        for (const MqttMessage &message : discoveryMessages(m_settings.topic, m_settings.version))
            m_client->publish(message);
    }
    sendWaiting();
}

void MqttPublisher::noteLost(const QString &reason) {
    if (!isOn() || m_client->isConnected() || m_retry.isActive())
        return;
    if (!m_addresses.isEmpty()) {
        connectNext();
        return;
    }
    m_outbox.rewind();
    m_inFlight.clear();
    m_lastCallId = -1;
    m_retry.start(m_backoff.next());
    if (!std::exchange(m_reported, true))
        m_report(kTitle,
                 QStringLiteral("cannot reach %1 (%2); calls are kept and sent when it is back.")
                     .arg(address(), reason));
}

void MqttPublisher::sendWaiting() {
    if (!m_client->isConnected())
        return;
    while (const std::optional<MqttOutbox::Entry> entry = m_outbox.takeNext()) {
        const int messageId = m_client->publish(callMessage(m_settings.topic, entry->json));
        if (messageId < 0)
            return;  // the connection is lost; the outbox sends it again on the next
        m_inFlight.insert(messageId, entry->id);
    }
    if (!m_lastCall.isEmpty() && m_lastCallId < 0)
        m_lastCallId = m_client->publish(lastCallMessage(m_settings.topic, m_lastCall));
}

}  // namespace ringwise
