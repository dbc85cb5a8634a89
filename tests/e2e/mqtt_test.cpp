// SPDX-License-Identifier: GPL-3.0-or-later
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "support/mqtt_broker.h"
#include "support/pseudo_terminal.h"
#include "support/server_process.h"

using namespace ringwise::test;

namespace {

// The payloads of the messages on the topic, as JSON, in the order they came.
QList<QJsonObject> payloads(const QStringList &messages, const QString &topic) {
    QList<QJsonObject> objects;
    for (const QString &message : messages) {
        if (message.startsWith(topic + QLatin1Char(' ')))
            objects << QJsonDocument::fromJson(message.mid(topic.size() + 1).toUtf8()).object();
    }
    return objects;
}

QStringList callNumbers(const QStringList &messages) {
    QStringList numbers;
    for (const QJsonObject &call : payloads(messages, QStringLiteral("ringwise/call")))
        numbers << call["number"].toString();
    return numbers;
}

// The real server on a pty, publishing to the broker on the port.
struct PublishingServer {
    PseudoTerminal device;
    ServerProcess server{RINGWISE_SERVER_BINARY};

    PublishingServer(quint16 brokerPort, const QStringList &settings = {}) {
        server.setSetting("ServerCOM", device.slavePath());
        server.setSetting("ServerCheckDGS", "False");
        server.setSetting("MqttHost", "127.0.0.1");
        server.setSetting("MqttPort", QString::number(brokerPort));
        for (const QString &setting : settings)
            server.setSetting(setting.section('=', 0, 0), setting.section('=', 1));
        server.start();
    }
};

}  // namespace

class MqttTest : public QObject {
    Q_OBJECT

private slots:
    // With a user and password: the status, discovery, the call, the retained last call, and
    // the will once the server is killed.
    void publishesCallsToTheBroker() {
        MqttBroker broker;
        broker.requireUser("ringwise", "broker-secret");
        QVERIFY(broker.start());
        const QStringList user = {"-u", "ringwise", "-P", "broker-secret", "-t"};
        MqttSubscriber everything(broker.port(), user + QStringList{"#"});
        QVERIFY(everything.waitUntilSubscribed());
        PublishingServer publishing(broker.port(),
                                    {"MqttUser=ringwise", "MqttPassword=broker-secret"});
        QVERIFY(publishing.server.waitUntilListening());
        QTRY_VERIFY(everything.messages().contains("ringwise/status online"));

        QVERIFY(publishing.device.write("A12345678#"));
        QTRY_COMPARE(callNumbers(everything.messages()), QStringList{"12345678"});
        const QJsonObject call = payloads(everything.messages(), "ringwise/call").first();
        QCOMPARE(call.keys(), QStringList({"email", "fax", "home", "mobile", "name", "new",
                                           "number", "time", "work"}));
        const QStringList messages = everything.messages();
        const QJsonObject sensor =
            payloads(messages, "homeassistant/sensor/ringwise/last_caller/config").value(0);
        QCOMPARE(sensor["name"].toString(), "Last caller");
        QCOMPARE(sensor["json_attributes_topic"].toString(), "ringwise/last_call");
        QCOMPARE(sensor["availability_topic"].toString(), "ringwise/status");
        const QJsonObject event =
            payloads(messages, "homeassistant/event/ringwise/call/config").value(0);
        QCOMPARE(event["state_topic"].toString(), "ringwise/call");
        QCOMPARE(event["event_types"].toArray(), (QJsonArray{"call", "named"}));

        // A subscriber that comes later gets the last call the broker kept.
        MqttSubscriber later(broker.port(), user + QStringList{"ringwise/last_call"});
        QTRY_COMPARE(payloads(later.messages(), "ringwise/last_call"), QList{call});

        publishing.server.process().kill();
        QTRY_VERIFY(everything.messages().contains("ringwise/status offline"));
    }

    // A broker that starts after the server gets the calls made meanwhile, in order.
    void keepsCallsUntilTheBrokerIsBack() {
        MqttBroker broker;
        QVERIFY(broker.start());
        const QStringList session = {"-c", "-i", "late-listener", "-t", "ringwise/call"};
        QVERIFY(MqttSubscriber(broker.port(), session).waitUntilSubscribed());
        broker.stop();

        PublishingServer publishing(broker.port());
        QVERIFY(publishing.server.waitUntilListening());
        const QByteArray address = "127.0.0.1:" + QByteArray::number(broker.port());
        const QByteArray refused = "MQTT: cannot reach " + address +
                                   " (connection refused); calls are kept and sent when it is "
                                   "back.\n";
        QTRY_VERIFY(publishing.server.standardError().contains(refused));
        QVERIFY(publishing.device.write("A11111111#A22222222#A33333333#"));
        QTRY_VERIFY(publishing.server.standardOutput().contains("A33333333#"));

        QVERIFY(broker.start());
        QTRY_VERIFY_WITH_TIMEOUT(publishing.server.standardError().contains("MQTT: connected to " +
                                                                            address + " again.\n"),
                                 20000);
        QCOMPARE(publishing.server.standardError().count(refused), 1);
        MqttSubscriber listener(broker.port(), session);
        QTRY_COMPARE(callNumbers(listener.messages()),
                     QStringList({"11111111", "22222222", "33333333"}));
    }

    // With TLS the refused socket is seen at once, not as a broker that does not answer.
    void reportsARefusedTlsConnection() {
        const MqttBroker notStarted;
        PublishingServer publishing(notStarted.port(), {"MqttTls=True"});
        QVERIFY(publishing.server.waitUntilListening());
        QTRY_VERIFY(publishing.server.standardError().contains(
            "MQTT: cannot reach 127.0.0.1:" + QByteArray::number(notStarted.port()) +
            " (connection refused)"));
    }
};

QTEST_GUILESS_MAIN(MqttTest)
#include "mqtt_test.moc"
