#include <QtTest>

#include "loopback_client.h"
#include "server/client_protocol.h"
#include "server/client_table.h"
#include "server/hosting.h"

using namespace ringwise;
using test::LoopbackClient;

namespace {

const QByteArray kGreeting("Welcome to Ringwise Server [0.92]");

struct Rig {
    explicit Rig(int maxSlots = ClientTable::kMaxSlots)
        : table([](const QString &) {}, [] { return QDateTime::currentDateTime(); }, maxSlots) {}

    std::unique_ptr<LoopbackClient> greetedClient() {
        auto client = std::make_unique<LoopbackClient>(hosting.localPort());
        QSignalSpy greeted(&client->socket(), &QTcpSocket::readyRead);
        greeted.wait();
        return client;
    }

    ClientTable table;
    ClientProtocol protocol{
        table,
        {[] { return QStringLiteral("secret"); }, [] { return QStringLiteral("120"); }, nullptr,
         nullptr, [] { return 0; }}};
    Hosting hosting{table, protocol, QStringLiteral("0.92"), QHostAddress::LocalHost};
};

QStringList slotsOf(const QStringList &lines) {
    QStringList result;
    for (const QString &line : lines)
        result << line.section(QLatin1Char(':'), 0, 0);
    return result;
}

}  // namespace

class HostingTest : public QObject {
    Q_OBJECT

private slots:
    void greetingComesAloneAndLabelsFollowHosting() {
        Rig rig;
        QSignalSpy status(&rig.hosting, &Hosting::statusChanged);
        QVERIFY(rig.hosting.StartHosting(0));
        QCOMPARE(rig.hosting.status().isHosting, QStringLiteral("Yes"));
        QCOMPARE(rig.hosting.status().localPort, QString::number(rig.hosting.localPort()));
        QCOMPARE(QHostAddress(rig.hosting.status().localIp).protocol(),
                 QAbstractSocket::IPv4Protocol);
        QCOMPARE(status.size(), 1);

        auto client = rig.greetedClient();
        QCOMPARE(client->received(), kGreeting);
        client->send("secret");
        QTRY_COMPARE(client->received(), kGreeting + "Password accepted.");

        rig.hosting.StopHosting();
        QCOMPARE(rig.hosting.status(), HostingStatus());
        QCOMPARE(status.size(), 2);
        QVERIFY(!rig.hosting.isHosting());
    }

    void stopClosesEveryClientAndSlotsStartAgainAtOne() {
        Rig rig;
        QVERIFY(rig.hosting.StartHosting(0));
        std::vector<std::unique_ptr<LoopbackClient>> clients;
        for (int i = 0; i < 3; ++i)
            clients.push_back(rig.greetedClient());
        QCOMPARE(slotsOf(rig.table.connectionList()), (QStringList{"[1]", "[2]", "[3]"}));

        rig.hosting.StopHosting();
        QCOMPARE(rig.table.connectionList(), QStringList());
        for (const auto &client : clients)
            QTRY_VERIFY(client->isClosed());

        QVERIFY(rig.hosting.StartHosting(0));
        clients.clear();
        for (int i = 0; i < 3; ++i)
            clients.push_back(rig.greetedClient());
        QCOMPARE(slotsOf(rig.table.connectionList()), (QStringList{"[1]", "[2]", "[3]"}));
    }

    void requestWithoutSlotIsDroppedAlone() {
        Rig rig(2);
        QVERIFY(rig.hosting.StartHosting(0));
        auto first = rig.greetedClient();
        auto second = rig.greetedClient();
        LoopbackClient third(rig.hosting.localPort());
        QTRY_VERIFY(third.isClosed());
        QCOMPARE(third.received(), QByteArray());

        first->socket().disconnectFromHost();
        QTRY_COMPARE(rig.table.connectionList().size(), 1);
        auto fourth = rig.greetedClient();
        QCOMPARE(fourth->received(), kGreeting);
        QCOMPARE(slotsOf(rig.table.connectionList()), (QStringList{"[1]", "[2]"}));
    }

    void portInUseFailsToStart() {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        Rig rig;
        QVERIFY(!rig.hosting.StartHosting(holder.serverPort()));
        QVERIFY(!rig.hosting.isHosting());
        QCOMPARE(rig.hosting.status(), HostingStatus());
    }
};

QTEST_GUILESS_MAIN(HostingTest)
#include "hosting_test.moc"
