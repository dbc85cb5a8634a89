#include <QtTest>

#include "server/client_protocol.h"
#include "server/client_table.h"
#include "server/tick_count.h"
#include "test_acceptor.h"

using namespace ringwise;
using test::TestAcceptor;

namespace {

const QByteArray kAccepted("Password accepted.");
const QByteArray kInvalid("Invalid password.");
const QByteArray kFarewell("Password not received. Disconnecting.");

// A table, a protocol and a loopback acceptor, with settings and clock the test controls.
struct Rig {
    explicit Rig(int loginDeadlineMs = ClientProtocol::kLoginDeadlineMs,
                 std::function<qint32()> tickCount = {}, int pingIntervalMs = 10)
        : protocol(table,
                   {[this] { return password; }, [this] { return pingSetting; },
                    [this](const QString &text) { stats << text; },
                    [this](const QString &text) { contacts << text; },
                    tickCount ? tickCount : [this] { return tick; }},
                   loginDeadlineMs, pingIntervalMs) {}

    // Sends one message and returns once the server has handled it.
    bool send(TestAcceptor::Accepted &client, const QByteArray &bytes) {
        QSignalSpy handled(&table, &ClientTable::dataArrived);
        client.client->send(bytes);
        return handled.wait();
    }

    QString password = QStringLiteral("secret");
    QString pingSetting = QStringLiteral("120");
    qint32 tick = 0;
    QStringList stats;
    QStringList contacts;
    ClientTable table{[](const QString &) {}, [] { return QDateTime::currentDateTime(); }};
    ClientProtocol protocol;
    TestAcceptor acceptor{table, [this](int slot) { protocol.clientAccepted(slot); }};
};

}  // namespace

class ClientProtocolTest : public QObject {
    Q_OBJECT

private slots:
    void loginReplies_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("closed");
        QTest::newRow("secret") << "secret" << QByteArray("secret") << kAccepted << false;
        QTest::newRow("secret\\r\\n") << "secret" << QByteArray("secret\r\n") << kInvalid << true;
        QTest::newRow("SECRET") << "secret" << QByteArray("SECRET") << kInvalid << true;
        QTest::newRow("secre") << "secret" << QByteArray("secre") << kInvalid << true;
        QTest::newRow("secretSTATS:LAST")
            << "secret" << QByteArray("secretSTATS:LAST") << kInvalid << true;
        QTest::newRow("Søren in Latin-1")
            << QStringLiteral("Søren") << QByteArray("S\xF8ren") << kAccepted << false;
        QTest::newRow("hello without password") << "" << QByteArray("hello") << kInvalid << true;
        QTest::newRow("PONG_:STATS:LAST")
            << "secret" << QByteArray("PONG_:STATS:LAST") << QByteArray() << false;
    }
    void loginReplies() {
        QFETCH(QString, password);
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, reply);
        QFETCH(bool, closed);
        Rig rig;
        rig.password = password;
        auto client = rig.acceptor.connectClient();
        QVERIFY(rig.send(client, message));
        QCOMPARE(rig.protocol.pendingLogins().contains(client.slot), !closed && reply.isEmpty());
        QCOMPARE(rig.stats, QStringList());
        if (closed) {
            QTRY_VERIFY(client.client->isClosed());
            QCOMPARE(client.client->received(), reply);
        } else {
            // The password again shows that nothing else went out meanwhile.
            QVERIFY(rig.send(client, password.toLatin1()));
            QTRY_COMPARE(client.client->received(), reply + kAccepted);
        }
    }

    void requestsNeedLoginOnlyWithPassword_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("logIn");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("served");
        QTest::newRow("STATS:LAST before login")
            << "secret" << false << QByteArray("STATS:LAST") << false;
        QTest::newRow("CNTAC:SEAR;x before login")
            << "secret" << false << QByteArray("CNTAC:SEAR;x") << false;
        QTest::newRow("STATS:LAST after login")
            << "secret" << true << QByteArray("STATS:LAST") << true;
        QTest::newRow("STATS:LAST without password")
            << "" << false << QByteArray("STATS:LAST") << true;
        QTest::newRow("CNTAC:SEAR;x without password")
            << "" << false << QByteArray("CNTAC:SEAR;x") << true;
    }
    void requestsNeedLoginOnlyWithPassword() {
        QFETCH(QString, password);
        QFETCH(bool, logIn);
        QFETCH(QByteArray, message);
        QFETCH(bool, served);
        Rig rig;
        rig.password = password;
        auto client = rig.acceptor.connectClient();
        if (logIn)
            QVERIFY(rig.send(client, password.toLatin1()));
        QVERIFY(rig.send(client, message));
        const QStringList handed = rig.stats + rig.contacts;
        QCOMPARE(handed, served ? QStringList{QString::fromLatin1(message)} : QStringList());
        QTRY_COMPARE(client.client->isClosed(), !served);
        QCOMPARE(client.client->received().endsWith(kInvalid), !served);
    }

    void messageOverLimitIsRefused_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("served");
        QTest::newRow("65536 bytes") << 65536 << true;
        QTest::newRow("65537 bytes") << 65537 << false;
    }
    void messageOverLimitIsRefused() {
        QFETCH(int, size);
        QFETCH(bool, served);
        Rig rig;
        rig.password.clear();
        auto client = rig.acceptor.connectClient();
        QVERIFY(rig.send(client, "STATS:" + QByteArray(size - 6, 'x')));
        QCOMPARE(rig.stats.size(), served ? 1 : 0);
        QTRY_COMPARE(client.client->received(), served ? QByteArray() : kInvalid);
        QTRY_COMPARE(client.client->isClosed(), !served);
    }

    void eachClientHasItsOwnDeadline() {
        Rig rig;
        auto first = rig.acceptor.connectClient();
        rig.tick = 1000;
        auto loggedIn = rig.acceptor.connectClient();
        rig.tick = 3000;
        auto late = rig.acceptor.connectClient();
        QVERIFY(rig.send(loggedIn, "secret"));

        rig.tick = 5000;
        rig.protocol.LoginDeadlineTick();
        QTRY_VERIFY(first.client->isClosed());
        QCOMPARE(first.client->received(), kFarewell);
        QVERIFY(!late.client->isClosed());

        rig.tick = 8000;
        rig.protocol.LoginDeadlineTick();
        QTRY_VERIFY(late.client->isClosed());
        QCOMPARE(late.client->received(), kFarewell);
        QCOMPARE(loggedIn.client->received(), kAccepted);
        QVERIFY(!loggedIn.client->isClosed());
    }

    void deadlineClosesWaitingClientsInOrderOfAcceptance() {
        Rig rig(200, bootTickCount);
        QSignalSpy lists(&rig.table, &ClientTable::connectionListChanged);
        auto a = rig.acceptor.connectClient();
        auto b = rig.acceptor.connectClient();
        auto c = rig.acceptor.connectClient();
        QTRY_VERIFY(a.client->isClosed() && b.client->isClosed() && c.client->isClosed());
        for (const auto *client : {&a, &b, &c})
            QCOMPARE(client->client->received(), kFarewell);
        QList<int> sizes;
        for (const QList<QVariant> &emitted : lists)
            sizes << emitted.at(0).toStringList().size();
        QCOMPARE(sizes, (QList<int>{1, 2, 3, 2, 1, 0}));
        QVERIFY(lists.at(3).at(0).toStringList().at(0).startsWith("[2]: "));
    }

    void withoutPasswordNobodyIsClosedAtTheDeadline() {
        Rig rig;
        rig.password.clear();
        auto client = rig.acceptor.connectClient();
        rig.tick = 5000;
        rig.protocol.LoginDeadlineTick();
        QVERIFY(rig.protocol.pendingLogins().isEmpty());
        rig.table.SendToClients("CALL_:,1");
        QTRY_COMPARE(client.client->received(), QByteArray("CALL_:,1"));
        QVERIFY(!client.client->isClosed());
    }

    void broadcastsReachOnlyLoggedInClients() {
        Rig rig;
        auto member = rig.acceptor.connectClient();
        auto stranger = rig.acceptor.connectClient();
        QVERIFY(rig.send(member, "secret"));
        rig.table.SendToClients("CALL_:,1");
        rig.password.clear();  // read at each broadcast
        rig.table.SendToClients("CALL_:,2");
        QTRY_COMPARE(member.client->received(), kAccepted + "CALL_:,1CALL_:,2");
        QTRY_COMPARE(stranger.client->received(), QByteArray("CALL_:,2"));
    }

    void pingCadenceAndTickCount() {
        Rig rig;
        rig.pingSetting = "2";
        auto client = rig.acceptor.connectClient();
        QVERIFY(rig.send(client, "secret"));
        QSignalSpy nextPing(&rig.protocol, &ClientProtocol::nextPingChanged);
        const QList<qint32> ticks{100, 200, -2147483647 - 1, 400, -5};
        for (const qint32 tick : ticks) {
            rig.tick = tick;
            rig.protocol.PingTick();
        }
        QTRY_COMPARE(client.client->received(), kAccepted + "PING_:-2147483648PING_:-5");
        QList<QString> labels;
        for (const QList<QVariant> &emitted : nextPing)
            labels << emitted.at(0).toString();
        QCOMPARE(labels, (QList<QString>{"1", "0", "1", "0", "1"}));
    }

    void pingTimerRunsOnceStarted() {
        Rig rig;
        rig.password.clear();
        rig.pingSetting = "1";
        auto client = rig.acceptor.connectClient();
        rig.protocol.startPingTimer();
        QTRY_VERIFY(client.client->received().startsWith("PING_:"));
    }
};

QTEST_GUILESS_MAIN(ClientProtocolTest)
#include "client_protocol_test.moc"
