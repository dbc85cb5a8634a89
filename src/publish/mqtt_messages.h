// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace ringwise {

// One message for the broker.
struct MqttMessage {
    QString topic;
    QByteArray payload;
    bool retain = false;
};

// The topics under the MqttTopic base ("ringwise"): every call, the last one kept by the
// broker, and whether the server is on line.
QString callTopic(const QString &base);
QString lastCallTopic(const QString &base);
QString statusTopic(const QString &base);
inline const QByteArray kOnline = QByteArrayLiteral("online");
inline const QByteArray kOffline = QByteArrayLiteral("offline");

// The retained status message: "online", or "offline" as the will and at a clean stop.
MqttMessage statusMessage(const QString &base, const QByteArray &status);

// What a call line becomes on the broker: the call, and the same text kept as the last call.
MqttMessage callMessage(const QString &base, const QByteArray &json);
MqttMessage lastCallMessage(const QString &base, const QByteArray &json);

// Home Assistant's discovery messages, retained under homeassistant/: a "Last caller"
// sensor (its state the name, or the number when there is none; number, time and name as
// attributes) and an event entity that fires at each call. Both belong to one device and are
// available while the status is "online". `version` is the server's.
std::vector<MqttMessage> discoveryMessages(const QString &base, const QString &version);

}  // namespace ringwise
