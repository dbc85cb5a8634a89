// SPDX-License-Identifier: GPL-3.0-or-later
#include <QtTest>

#include "publish/backoff.h"
#include "publish/mqtt_messages.h"
#include "publish/mqtt_outbox.h"

using namespace ringwise;

class PublishTest : public QObject {
    Q_OBJECT

private slots:
    void backoffDoublesUpToAMinuteAndStartsOverOnSuccess() {
        Backoff backoff;
        QList<int> waits;
        for (int attempt = 0; attempt < 9; ++attempt)
            waits << backoff.next();
        QCOMPARE(waits, (QList<int>{1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000}));
        backoff.reset();
        QCOMPARE(backoff.next(), 1000);
    }

    // Past the limit the oldest go, counted once unless handed on; what was in flight when the
    // connection was lost is handed again, in order, and an acknowledged call never comes back.
    void outboxKeepsTheNewestInOrder() {
        MqttOutbox outbox(3);
        for (const char *json : {"1", "2", "3", "4", "5"})
            outbox.push(json);
        QCOMPARE(outbox.takeDropped(), 2);
        QCOMPARE(outbox.takeDropped(), 0);
        const MqttOutbox::Entry first = *outbox.takeNext();
        QCOMPARE(first.json, "3");
        QCOMPARE(outbox.takeNext()->json, "4");
        outbox.acknowledge(first.id);
        outbox.acknowledge(first.id);
        outbox.push("6");
        outbox.push("7");  // drops "4", in flight: the connection still delivers it
        QCOMPARE(outbox.takeDropped(), 0);
        outbox.rewind();
        QByteArray handed;
        while (const auto entry = outbox.takeNext())
            handed += entry->json;
        QCOMPARE(handed, "567");
    }

    // Home Assistant's ids take no "/", so a topic with levels becomes one id.
    void discoveryUnderATopicWithLevels() {
        const std::vector<MqttMessage> discovery = discoveryMessages("home/phone", "0.92");
        QCOMPARE(discovery.at(0).topic, "homeassistant/sensor/home_phone/last_caller/config");
        QCOMPARE(discovery.at(1).topic, "homeassistant/event/home_phone/call/config");
        QVERIFY(discovery[0].payload.contains(R"("state_topic":"home/phone/last_call")"));
    }
};

QTEST_APPLESS_MAIN(PublishTest)
#include "publish_test.moc"
