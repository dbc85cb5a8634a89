// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/mqtt_messages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace ringwise {

namespace {

// Home Assistant's object ids take letters, digits, "_" and "-" only.
QString objectId(const QString &base) {
    static const QRegularExpression other(QStringLiteral("[^A-Za-z0-9_-]"));
    return QString(base).replace(other, QStringLiteral("_"));
}

QJsonObject entity(const QString &base, const QString &version, const QString &name,
                   const QString &uniqueSuffix) {
    const QString id = objectId(base);
    return QJsonObject{
        {QStringLiteral("name"), name},
        {QStringLiteral("unique_id"), id + QLatin1Char('_') + uniqueSuffix},
        {QStringLiteral("availability_topic"), statusTopic(base)},
        {QStringLiteral("payload_available"), QString::fromLatin1(kOnline)},
        {QStringLiteral("payload_not_available"), QString::fromLatin1(kOffline)},
        {QStringLiteral("device"),
         QJsonObject{{QStringLiteral("identifiers"), QJsonArray{id}},
                     {QStringLiteral("name"), QStringLiteral("Ringwise Server")},
                     {QStringLiteral("sw_version"), version}}},
    };
}

MqttMessage discovery(const QString &component, const QString &base, const QString &object,
                      const QJsonObject &config) {
    return {QStringLiteral("homeassistant/%1/%2/%3/config").arg(component, objectId(base), object),
            QJsonDocument(config).toJson(QJsonDocument::Compact), true};
}

}  // namespace

QString callTopic(const QString &base) {
    return base + QStringLiteral("/call");
}

QString lastCallTopic(const QString &base) {
    return base + QStringLiteral("/last_call");
}

QString statusTopic(const QString &base) {
    return base + QStringLiteral("/status");
}

MqttMessage statusMessage(const QString &base, const QByteArray &status) {
    return {statusTopic(base), status, true};
}

MqttMessage callMessage(const QString &base, const QByteArray &json) {
    return {callTopic(base), json, false};
}

MqttMessage lastCallMessage(const QString &base, const QByteArray &json) {
    return {lastCallTopic(base), json, true};
}

std::vector<MqttMessage> discoveryMessages(const QString &base, const QString &version) {
    QJsonObject lastCaller =
        entity(base, version, QStringLiteral("Last caller"), QStringLiteral("last_caller"));
    lastCaller.insert(QStringLiteral("icon"), QStringLiteral("mdi:phone-incoming"));
    lastCaller.insert(QStringLiteral("state_topic"), lastCallTopic(base));
    lastCaller.insert(QStringLiteral("value_template"),
                      QStringLiteral("{{ value_json.name or value_json.number }}"));
    lastCaller.insert(QStringLiteral("json_attributes_topic"), lastCallTopic(base));
    lastCaller.insert(QStringLiteral("json_attributes_template"),
                      QStringLiteral("{{ {'number': value_json.number, 'time': value_json.time, "
                                     "'name': value_json.name} | tojson }}"));

    QJsonObject call = entity(base, version, QStringLiteral("Call"), QStringLiteral("call"));
    call.insert(QStringLiteral("icon"), QStringLiteral("mdi:phone-ring"));
    call.insert(QStringLiteral("state_topic"), callTopic(base));
    call.insert(QStringLiteral("event_types"),
                QJsonArray{QStringLiteral("call"), QStringLiteral("named")});
    // The event carries the call's fields; Home Assistant wants its type among them. The
    // second line of a call, with the directory's name, is "named".
    call.insert(QStringLiteral("value_template"),
                QStringLiteral("{{ dict(value_json, event_type=('named' if value_json.new else "
                               "'call')) | tojson }}"));

    return {discovery(QStringLiteral("sensor"), base, QStringLiteral("last_caller"), lastCaller),
            discovery(QStringLiteral("event"), base, QStringLiteral("call"), call)};
}

}  // namespace ringwise
