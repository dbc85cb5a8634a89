// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include <QtTest>
#include <map>

#include "server/client_message.h"
#include "server/client_protocol.h"
#include "server/client_table.h"
#include "server/hosting.h"
#include "server/login_throttle.h"
#include "server/pending_logins.h"
#include "server/ping_schedule.h"
#include "support/greeting.h"

using namespace ringwise;

Q_DECLARE_METATYPE(ringwise::UnsentBounds)

namespace {

using test::kGreeting;
const QByteArray kAccepted("Password accepted.");
const QByteArray kInvalid("Invalid password.");
const QByteArray kFarewell("Password not received. Disconnecting.");
const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 7, 9));

// A client on 127.0.0.1 that collects every byte it receives.
struct Client {
    explicit Client(quint16 port, const QHostAddress &from = QHostAddress::LocalHost) {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
        socket.bind(from);
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    // Hands the bytes to the kernel before returning, so they can arrive in one read.
    void send(const QByteArray &bytes) {
        socket.write(bytes);
        while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(5000)) {
        }
    }
    bool isClosed() const { return socket.state() == QAbstractSocket::UnconnectedState; }
    QString listLine() const {
        return QStringLiteral("[%1]: 127.0.0.1:%2").arg(slot).arg(socket.localPort());
    }

    QTcpSocket socket;
    QByteArray received;
    int slot = 0;  // 0 when the table did not take it
};

QStringList slotsOf(const QStringList &lines) {
    QStringList result;
    for (const QString &line : lines)
        result << line.section(QLatin1Char(':'), 0, 0);
    return result;
}

// The request handlers' stand-in: names the handler and the request, except for a request
// ending in "!", which gets no answer.
std::optional<QString> answer(const char *handler, const QString &request) {
    if (request.endsWith(u'!'))
        return std::nullopt;
    return QStringLiteral("%1 answers %2").arg(QLatin1String(handler), request);
}

// Table, protocol and hosting wired as the service wires them, with settings and clock the
// test controls. accept() takes a client into the table as hosting does, minus the greeting,
// through a listener whose large receive buffer lets a long message arrive in one read.
struct Rig {
    explicit Rig(int maxSlots = ClientTable::kMaxSlots, UnsentBounds unsentBounds = {})
        : table([this](const QString &line) { deviceOutput << line; }, [] { return kNow; },
                [this] { return !password.isEmpty(); }, maxSlots, unsentBounds),
          throttle([this] { return tick; }),
          protocol(table, throttle,
                   {[this] { return password; }, [this] { return pingSetting; },
                    [](const QString &text) { return answer("stats", text); },
                    [](const QString &text) { return answer("contacts", text); },
                    [this] { return tick; }, 120},
                   ClientProtocol::kLoginDeadlineMs, 10) {
        listener.listen(QHostAddress::LocalHost, 0);
        const int bufferBytes = 1 << 20;
        ::setsockopt(int(listener.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &bufferBytes,
                     sizeof bufferBytes);
    }

    std::unique_ptr<Client> accept() {
        auto client = std::make_unique<Client>(listener.serverPort());
        QSignalSpy connected(&client->socket, &QTcpSocket::connected);
        QSignalSpy pending(&listener, &QTcpServer::newConnection);
        if (!connected.wait() || (!listener.hasPendingConnections() && !pending.wait()))
            return client;
        if (const std::optional<int> slot = table.AllocateSlot()) {
            // The table takes a bare descriptor, as hosting hands it over.
            std::unique_ptr<QTcpSocket> accepted(listener.nextPendingConnection());
            table.attach(*slot, ::dup(int(accepted->socketDescriptor())));
            protocol.clientAccepted(*slot);
            client->slot = *slot;
        }
        return client;
    }

    std::unique_ptr<Client> greeted(const QHostAddress &from = QHostAddress::LocalHost) {
        auto client = std::make_unique<Client>(hosting.localPort(), from);
        QSignalSpy(&client->socket, &QTcpSocket::readyRead).wait();
        return client;
    }

    // Sends one message and returns once the server has handled it.
    bool send(Client &client, const QByteArray &bytes) {
        QSignalSpy handled(&table, &ClientTable::dataArrived);
        client.send(bytes);
        return handled.wait();
    }

    QString password = QStringLiteral("secret");
    QString pingSetting = QStringLiteral("120");
    qint32 tick = 0;
    QStringList deviceOutput;
    ClientTable table;
    LoginThrottle throttle;
    ClientProtocol protocol;
    Hosting hosting{table, protocol, throttle, versionText};
    QTcpServer listener;
};

}  // namespace

class ServerTest : public QObject {
    Q_OBJECT

private slots:
    // A client refused after its answer leaves the list at once and its slot is given
    // again; a socket error is shown with its number.
    void refusedClientLeavesTheListAtOnce() {
        Rig rig;
        auto a = rig.accept();
        auto b = rig.accept();
        rig.table.disconnectAfterSending(a->slot);
        QCOMPARE(rig.table.connectionList(), QStringList{b->listLine()});
        QTRY_VERIFY(a->isClosed());
        QCOMPARE(rig.accept()->slot, 1);
        rig.table.reportSocketError(ETIMEDOUT, "Connection timed out");
        QCOMPARE(
            rig.deviceOutput,
            QStringList{"\r\n2024-03-05 14:07:09Error: 110  Description: Connection timed out"});
    }

    void clientLeavingDuringBroadcastDoesNotStopOthers() {
        Rig rig;
        rig.password.clear();
        auto a = rig.accept();
        auto b = rig.accept();
        auto c = rig.accept();
        b->socket.abort();  // the server has not seen it go yet
        rig.table.SendToClients("CALL_:,1");
        rig.table.SendToClients("CALL_:,2");
        QTRY_COMPARE(a->received, QByteArray("CALL_:,1CALL_:,2"));
        QTRY_COMPARE(c->received, QByteArray("CALL_:,1CALL_:,2"));
        QTRY_COMPARE(rig.table.connectionList(), (QStringList{a->listLine(), c->listLine()}));
        QCOMPARE(rig.deviceOutput, QStringList());
    }

    // The messages the protocol rows below do not already send.
    void clientMessageClassified_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<ClientMessage>("kind");
        const QByteArray big = "STATS:" + QByteArray(65530, 'x');  // 65536 bytes
        const auto row = [](const char *name, const QString &password, const QByteArray &message,
                            ClientMessage kind) {
            QTest::newRow(name) << password << message << kind;
        };
        row("secret\\r\\n", "secret", "secret\r\n", ClientMessage::Other);
        row("SECRET", "secret", "SECRET", ClientMessage::Other);
        row("secretSTATS:LAST", "secret", "secretSTATS:LAST", ClientMessage::Other);
        row("Søren in Latin-1", QStringLiteral("Søren"), "S\xF8ren", ClientMessage::Password);
        row("Søren in UTF-8", QStringLiteral("Søren"), "S\xC3\xB8ren", ClientMessage::Other);
        row("STATS:LAST as the password", "STATS:LAST", "STATS:LAST", ClientMessage::Password);
        row("hello without password", "", "hello", ClientMessage::Other);
        row("nothing without password", "", "", ClientMessage::Nothing);
        row("PONG_", "secret", "PONG_", ClientMessage::Other);
        row("stats:LAST", "secret", "stats:LAST", ClientMessage::Other);
        row("65537 bytes of the password", big + 'x', big + 'x', ClientMessage::TooLong);
    }
    void clientMessageClassified() {
        QFETCH(QString, password);
        QFETCH(QByteArray, message);
        QTEST(classifyClientMessage(message, password), "kind");
    }

    // Each message is handled before the next is sent. A row whose messages get no reply
    // ends with the password or a refused "hello", whose reply shows that nothing else went
    // out before it. Answers go to the asker alone: a bystander that would receive every
    // broadcast receives none of them.
    void clientMessages_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArrayList>("messages");
        QTest::addColumn<QByteArray>("received");
        const QByteArray big = "STATS:" + QByteArray(65530, 'x');  // 65536 bytes
        const auto row = [](const char *name, const QString &password,
                            const QByteArrayList &messages, const QByteArray &received) {
            QTest::newRow(name) << password << messages << received;
        };
        row("secret", "secret", {"secret"}, kAccepted);
        row("secre", "secret", {"secre"}, kInvalid);
        row("PONG_:STATS:LAST", "secret", {"PONG_:STATS:LAST", "secret"}, kAccepted);
        row("STATS:LAST before login", "secret", {"STATS:LAST"}, kInvalid);
        row("CNTAC:SEAR;x before login", "secret", {"CNTAC:SEAR;x"}, kInvalid);
        row("STATS:LAST after login", "secret", {"secret", "STATS:LAST"},
            kAccepted + "stats answers STATS:LAST");
        row("CNTAC:SEAR;x after login", "secret", {"secret", "CNTAC:SEAR;x"},
            kAccepted + "contacts answers CNTAC:SEAR;x");
        row("CNTAC:SEAR;x! after login", "secret", {"secret", "CNTAC:SEAR;x!", "secret"},
            kAccepted + kAccepted);
        row("STATS:LAST without password", "", {"STATS:LAST", "hello"},
            "stats answers STATS:LAST" + kInvalid);
        row("CNTAC:SEAR;x without password", "", {"CNTAC:SEAR;x"}, "contacts answers CNTAC:SEAR;x");
        row("65536 bytes", "", {big}, "stats answers " + big);
        row("65537 bytes", "", {big + 'x'}, kInvalid);
    }
    void clientMessages() {
        QFETCH(QString, password);
        QFETCH(QByteArrayList, messages);
        QFETCH(QByteArray, received);
        Rig rig;
        rig.password = password;
        auto bystander = rig.accept();
        if (!password.isEmpty())
            QVERIFY(rig.send(*bystander, password.toLatin1()));
        auto client = rig.accept();
        for (const QByteArray &message : messages)
            QVERIFY(rig.send(*client, message));
        QTRY_COMPARE(client->received, received);
        QTRY_COMPARE(client->isClosed(), received.endsWith(kInvalid));
        rig.table.SendToClients("CALL_:,1");
        QTRY_COMPARE(bystander->received, (password.isEmpty() ? "" : kAccepted) + "CALL_:,1");
    }

    // The tick count wraps from 2147483647 to -2147483648 between the accepts. Clients
    // that share a deadline leave in the order they were accepted.
    void eachClientHasItsOwnDeadline() {
        Rig rig;
        QSignalSpy unlisted(&rig.table, &ClientTable::clientUnlisted);
        rig.tick = 2147482647;
        auto first = rig.accept();
        auto second = rig.accept();
        rig.tick = 2147483647;
        auto loggedIn = rig.accept();
        rig.tick = -2147481649;  // 3000 ms after the first
        auto late = rig.accept();
        QVERIFY(rig.send(*loggedIn, "secret"));
        rig.tick = -2147479649;  // 5000 ms
        rig.protocol.LoginDeadlineTick();
        QVERIFY(rig.protocol.pendingLogins().contains(late->slot));
        QTRY_VERIFY(first->isClosed() && second->isClosed());
        QCOMPARE(first->received, kFarewell);
        QCOMPARE(second->received, kFarewell);
        QCOMPARE(unlisted, (QList<QList<QVariant>>{{first->slot}, {second->slot}}));
        rig.tick = -2147476649;  // 8000 ms
        rig.protocol.LoginDeadlineTick();
        QTRY_VERIFY(late->isClosed());
        QCOMPARE(late->received, kFarewell);
        QCOMPARE(loggedIn->received, kAccepted);
        QVERIFY(!loggedIn->isClosed());
    }

    // Hundreds of clients come and go in a scattered order: each new one gets the lowest
    // free slot, and a list kept from the table's changes alone always equals the table's.
    void largeTableReusesLowestSlotsAndKeepsItsList() {
        Rig rig;
        std::map<int, QString> shown;
        QObject::connect(&rig.table, &ClientTable::clientListed,
                         [&](int slot, const QString &line) { shown[slot] = line; });
        QObject::connect(&rig.table, &ClientTable::clientUnlisted,
                         [&](int slot) { QVERIFY(shown.erase(slot) == 1); });
        const auto listsAgree = [&] {
            QStringList lines;
            for (const auto &[slot, line] : shown)
                lines << line;
            return lines == rig.table.connectionList();
        };
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 300; ++i)
            clients.push_back(rig.accept());
        QList<int> leaving;  // 300, 293, ..., 6
        for (int slot = 300; slot >= 1; slot -= 7)
            leaving.prepend(slot);
        for (auto slot = leaving.rbegin(); slot != leaving.rend(); ++slot)
            clients[*slot - 1]->socket.disconnectFromHost();
        QTRY_COMPARE(rig.table.connectionCount(), 300 - int(leaving.size()));
        QVERIFY(listsAgree());
        for (int slot : leaving) {
            clients[slot - 1] = rig.accept();
            QCOMPARE(clients[slot - 1]->slot, slot);
        }
        QCOMPARE(rig.accept()->slot, 301);
        QVERIFY(listsAgree());
        QCOMPARE(rig.table.connectionList().at(299), clients.back()->listLine());
    }

    // The slow client is sent more until it is dropped, past its own bound or as the one
    // holding the most when all together are past theirs; a stalled one holds a little.
    // An answer larger than a client's bound still arrives whole.
    void unsentBounds_data() {
        QTest::addColumn<UnsentBounds>("bounds");
        QTest::addColumn<QString>("reason");
        QTest::newRow("16 KiB a client")
            << UnsentBounds{16 << 10, 1 << 20} << "it has stopped reading.";
        QTest::newRow("64 KiB in all")
            << UnsentBounds{1 << 20, 64 << 10}
            << "it reads the slowest while all clients hold more than 64 KiB unsent.";
    }
    void unsentBounds() {
        QFETCH(UnsentBounds, bounds);
        QFETCH(QString, reason);
        Rig rig(ClientTable::kMaxSlots, bounds);
        rig.password.clear();
        auto reader = rig.accept();
        auto slow = rig.accept();
        auto stalled = rig.accept();
        // No event is handled in these loops: the clients read nothing, and the bytes the
        // kernel does not take stay unsent.
        const QString chunk(8 << 10, QLatin1Char('x'));
        while (rig.table.unsentBytes() == 0)
            rig.table.sendTo(stalled->slot, chunk);
        while (rig.table.connectionCount() == 3)
            rig.table.sendTo(slow->slot, chunk);
        const QString dropped("\r\n2024-03-05 14:07:09Client [%1] dropped: %2");
        QCOMPARE(rig.deviceOutput, QStringList{dropped.arg(slow->slot).arg(reason)});
        QCOMPARE(rig.table.connectionList(),
                 (QStringList{reader->listLine(), stalled->listLine()}));
        const QByteArray answer(32 << 10, 'a');
        rig.table.sendTo(reader->slot, QString::fromLatin1(answer));
        QTRY_COMPARE(reader->received, answer);
        QCOMPARE(rig.table.connectionCount(), 2);
    }

    void broadcastsArriveByteForByteAtLoggedInClients() {
        Rig rig;
        auto member = rig.accept();
        auto stranger = rig.accept();
        QVERIFY(rig.send(*member, "secret"));
        rig.table.SendToClients("CALL_:,12345678,,,,,,");
        rig.password.clear();  // read at each broadcast
        rig.table.SendToClients(QStringLiteral("CALL_:,1,Søren Ærø\r\n"));
        const QByteArray latin1("CALL_:,1,S\xF8ren \xC6r\xF8\r\n");
        QTRY_COMPARE(member->received, kAccepted + "CALL_:,12345678,,,,,," + latin1);
        QTRY_COMPARE(stranger->received, latin1);
    }

    // Without a password nobody is closed at the deadline and everybody is pinged: with
    // ServerPing 2 at every second tick, the tick count as it is, wrapped or negative.
    void pingCadenceAndTickCount() {
        Rig rig;
        rig.password.clear();
        rig.pingSetting = "2";
        auto client = rig.accept();
        rig.tick = 5000;
        rig.protocol.LoginDeadlineTick();
        QVERIFY(rig.protocol.pendingLogins().isEmpty());
        QSignalSpy nextPing(&rig.protocol, &ClientProtocol::nextPingChanged);
        for (const qint32 tick : {100, 200, -2147483647 - 1, 400, -5}) {
            rig.tick = tick;
            rig.protocol.PingTick();
        }
        QTRY_COMPARE(client->received, QByteArray("PING_:-2147483648PING_:-5"));
        QVERIFY(!client->isClosed());
        QStringList labels;
        for (const QList<QVariant> &emitted : nextPing)
            labels << emitted.at(0).toString();
        QCOMPARE(labels, (QStringList{"1", "0", "1", "0", "1"}));
    }

    void pingSchedule_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QList<int>>("pingTicks");
        QTest::newRow("120") << "120" << 400 << QList<int>{121, 241, 361};
        QTest::newRow("1") << "1" << 5 << QList<int>{2, 3, 4, 5};
        QTest::newRow("300") << "300" << 700 << QList<int>{301, 601};
        QTest::newRow("0") << "0" << 700 << QList<int>{1, 302, 603};
        QTest::newRow("301") << "301" << 700 << QList<int>{302, 603};
        QTest::newRow("-5") << "-5" << 700 << QList<int>{302, 603};
        QTest::newRow("2.0") << "2.0" << 7 << QList<int>{3, 5, 7};
        QTest::newRow("60.0") << "60.0" << 130 << QList<int>{61, 121};
        QTest::newRow("1.5") << "1.5" << 700 << QList<int>{302, 603};
        QTest::newRow("-2.0") << "-2.0" << 700 << QList<int>{302, 603};
        QTest::newRow("99999999999") << "99999999999" << 700 << QList<int>{302, 603};
        QTest::newRow("abc") << "abc" << 250 << QList<int>{121, 241};
        QTest::newRow("2,0") << "2,0" << 250 << QList<int>{121, 241};
        QTest::newRow("empty") << "" << 250 << QList<int>{121, 241};
    }
    void pingSchedule() {
        QFETCH(QString, setting);
        QFETCH(int, ticks);
        PingSchedule schedule(120);
        QList<int> pinged;
        for (int tick = 1; tick <= ticks; ++tick) {
            if (schedule.tick(schedule.interval(setting)))
                pinged << tick;
        }
        QTEST(pinged, "pingTicks");
    }

    // Slot 1 is taken by a new client before the deadline of its first one.
    void pendingLoginsInOrderOfAcceptance() {
        PendingLogins pending(5000);
        for (const int slot : {3, 1, 2})
            pending.add(slot, 0);
        pending.add(1, 2000);
        QCOMPARE(pending.timeUntilNextDeadline(4999).value_or(-1), 1);
        QCOMPARE(pending.takeDue(4999), QList<int>());
        QCOMPARE(pending.takeDue(5000), (QList<int>{3, 2}));
        QCOMPARE(pending.timeUntilNextDeadline(5000).value_or(-1), 2000);
        QCOMPARE(pending.takeDue(7000), QList<int>{1});
        QVERIFY(pending.isEmpty());
    }

    void hostingGreetsAndStopClosesEveryClient() {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        Rig rig;
        QSignalSpy status(&rig.hosting, &Hosting::statusChanged);
        QVERIFY(!rig.hosting.StartHosting(QHostAddress::LocalHost, holder.serverPort()));
        QCOMPARE(status.size(), 0);
        for (int round = 0; round < 2; ++round) {
            QVERIFY(rig.hosting.StartHosting(QHostAddress::LocalHost, 0));
            QCOMPARE(rig.hosting.status().isHosting, QStringLiteral("Yes"));
            QCOMPARE(rig.hosting.status().localPort, QString::number(rig.hosting.localPort()));
            QCOMPARE(QHostAddress(rig.hosting.status().localIp).protocol(),
                     QAbstractSocket::IPv4Protocol);
            std::unique_ptr<Client> clients[] = {rig.greeted(), rig.greeted(), rig.greeted()};
            QCOMPARE(slotsOf(rig.table.connectionList()), (QStringList{"[1]", "[2]", "[3]"}));
            clients[0]->send("secret");
            QTRY_COMPARE(clients[0]->received, kGreeting + kAccepted);
            QCOMPARE(clients[2]->received, kGreeting);
            rig.hosting.StopHosting();
            QCOMPARE(rig.hosting.status(), HostingStatus());
            QVERIFY(!rig.hosting.isHosting());
            QCOMPARE(rig.table.connectionList(), QStringList());
            for (const auto &client : clients)
                QTRY_VERIFY(client->isClosed());
        }
        QCOMPARE(status.size(), 4);
    }

    void capsCloseNewConnectionsUnseen() {
        Rig rig;
        rig.table.setCaps(3, 2);
        QVERIFY(rig.hosting.StartHosting(QHostAddress::LocalHost, 0));
        const QHostAddress second("127.0.0.2");
        auto a = rig.greeted();
        auto b = rig.greeted();
        Client overAddress(rig.hosting.localPort());
        QTRY_VERIFY(overAddress.isClosed());
        auto c = rig.greeted(second);
        Client overTable(rig.hosting.localPort(), QHostAddress("127.0.0.3"));
        QTRY_VERIFY(overTable.isClosed());
        QCOMPARE(overAddress.received + overTable.received, QByteArray());
        QCOMPARE(a->received + b->received + c->received, kGreeting + kGreeting + kGreeting);
        QCOMPARE(rig.hosting.refusedOverCap(), 2u);
        QCOMPARE(rig.deviceOutput,
                 (QStringList{"\r\n2024-03-05 14:07:09Client address 127.0.0.1 refused: no more "
                              "connections allowed from it.",
                              "\r\n2024-03-05 14:07:09Client address 127.0.0.3 refused: no more "
                              "clients allowed."}));
        // A client leaving makes room for its address again.
        a->socket.disconnectFromHost();
        QTRY_COMPARE(rig.table.connectionCount(), 2);
        QCOMPARE(rig.greeted()->received, kGreeting);
    }

    // 60 connections are open when the guessing starts: the fifth wrong password closes
    // the others unseen, so no more than five guesses are checked. Logged-in clients and
    // other addresses stay; new connections are refused until the block ends.
    void guessesStopAtTheFifthWrongPassword() {
        Rig rig;
        QVERIFY(rig.hosting.StartHosting(QHostAddress::LocalHost, 0));
        auto member = rig.greeted();
        QVERIFY(rig.send(*member, "secret"));
        auto neighbour = rig.greeted(QHostAddress("127.0.0.2"));
        std::vector<std::unique_ptr<Client>> guessers;
        for (int i = 0; i < 60; ++i)
            guessers.push_back(rig.greeted());
        for (const auto &guesser : guessers)
            guesser->send("guess");
        int checked = 0;
        for (const auto &guesser : guessers) {
            QTRY_VERIFY(guesser->isClosed());
            checked += guesser->received == kGreeting + kInvalid;
            QVERIFY(guesser->received.startsWith(kGreeting));
        }
        QCOMPARE(checked, LoginThrottle::kWrongPasswords);
        QCOMPARE(rig.deviceOutput, QStringList{"\r\n2024-03-05 14:07:09Client address 127.0.0.1 "
                                               "refused for 60 s after 5 wrong passwords."});
        Client refused(rig.hosting.localPort());
        QTRY_VERIFY(refused.isClosed());
        QCOMPARE(refused.received, QByteArray());
        QVERIFY(!member->isClosed() && !neighbour->isClosed());
        rig.tick += LoginThrottle::kBlockMs;
        QCOMPARE(rig.greeted()->received, kGreeting);
    }

    // Each row: events "tick verb address" in order (wrong, login, check). Outcomes: each
    // block that a wrong password starts, named as reported, and each check's verdict.
    void throttle_data() {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("outcomes");
        const auto wrong = [](const QString &address, const QList<qint32> &ticks) {
            QStringList events;
            for (const qint32 tick : ticks)
                events << QStringLiteral("%1 wrong %2").arg(tick).arg(address);
            return events;
        };
        const auto five = [&](const QString &address, int from = 0) {
            return wrong(address, {from, from + 1, from + 2, from + 3, from + 4});
        };
        const auto row = [](const char *name, const QStringList &events,
                            const QStringList &outcomes, int capacity = LoginThrottle::kCapacity) {
            QTest::newRow(name) << capacity << events << outcomes;
        };
        const QString a = "10.0.0.7";
        row("four wrong", five(a).mid(1) << "5 check 10.0.0.7", {"admit"});
        row("five within 60 s", wrong(a, {0, 10000, 20000, 30000, 60000}) << "60001 check 10.0.0.7",
            {"block 10.0.0.7", "refuse"});
        row("five over 60.001 s", wrong(a, {0, 10000, 20000, 30000, 60001}), {});
        row("until 60 s after the last",
            five(a) << "60003 check 10.0.0.7"
                    << "60004 check 10.0.0.7",
            {"block 10.0.0.7", "refuse", "admit"});
        row("login before the fifth",
            five(a).mid(1) << "4 login 10.0.0.7"
                           << "4 wrong 10.0.0.7",
            {});
        row("login clears only its address",
            five(a).mid(1) + five("10.0.0.8").mid(1) << "5 login 10.0.0.7"
                                                     << "6 wrong 10.0.0.7"
                                                     << "6 wrong 10.0.0.8",
            {"block 10.0.0.8"});
        row("six, the first long ago", wrong(a, {0}) + five(a, 70000), {"block 10.0.0.7"});
        row("across the tick wrap",
            wrong(a, {2147483646, 2147483647, -2147483647 - 1, -2147483647, -2147483646})
                << "-2147483645 check 10.0.0.7",
            {"block 10.0.0.7", "refuse"});
        row("a guess in the block lengthens it",
            five(a) << "30000 wrong 10.0.0.7"
                    << "89999 check 10.0.0.7"
                    << "90000 check 10.0.0.7" << five(a, 90000),
            {"block 10.0.0.7", "refuse", "admit", "block 10.0.0.7"});
        row("IPv6 per /64",
            wrong("2001:db8:1:2::1", {0, 1, 2}) + wrong("2001:db8:1:2:ffff:ffff:ffff:ffff", {3, 4})
                << "5 check 2001:db8:1:2::99"
                << "5 check 2001:db8:1:3::1",
            {"block 2001:db8:1:2::/64", "refuse", "admit"});
        row("IPv4-mapped as IPv4", five("::ffff:10.0.0.7") << "5 check 10.0.0.7",
            {"block 10.0.0.7", "refuse"});
        row("the oldest of three forgotten",
            five(a) + wrong("10.0.0.1", {5}) + wrong("10.0.0.2", {5}) + wrong("10.0.0.3", {5})
                << "6 check 10.0.0.7",
            {"block 10.0.0.7", "admit"}, 3);
    }
    void throttle() {
        QFETCH(int, capacity);
        QFETCH(QStringList, events);
        qint32 tick = 0;
        LoginThrottle throttle([&tick] { return tick; }, capacity);
        QStringList seen;
        for (const QString &event : events) {
            const QStringList parts = event.split(' ');
            tick = parts[0].toInt();
            const QHostAddress address(parts[2]);
            if (parts[1] == "login")
                throttle.loggedIn(address);
            else if (parts[1] == "check")
                seen << (throttle.admits(address) ? "admit" : "refuse");
            else if (throttle.wrongPassword(address))
                seen << "block " + networkText(networkOf(address));
        }
        QTEST(seen, "outcomes");
        QVERIFY(throttle.rememberedNetworks() <= capacity);
    }
};

QTEST_GUILESS_MAIN(ServerTest)
#include "server_test.moc"
