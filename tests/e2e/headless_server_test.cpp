// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/resource.h>
#include <unistd.h>

#include <SQLiteCpp/Database.h>
#include <QProcess>
#include <QSignalSpy>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "db/database.h"
#include "support/fake_modem.h"
#include "support/greeting.h"
#include "support/loopback.h"
#include "support/process_status.h"
#include "support/pseudo_terminal.h"
#include "support/server_process.h"
#include "support/test_certificate.h"

using namespace ringwise;
using namespace ringwise::test;

namespace {

const QString kPassword = QStringLiteral("correct-horse");
// Keeps the real serial ports of the machine out of the tests that need no device.
const QString kNoDevice = QStringLiteral("/dev/ttyRingwiseMissing0");

// A client from the given loopback address, connected to the server on 127.0.0.1.
std::unique_ptr<QTcpSocket> clientFrom(const QHostAddress &from, quint16 port) {
    auto client = std::make_unique<QTcpSocket>();
    client->bind(from);
    client->connectToHost(QHostAddress::LocalHost, port);
    return client;
}

// A client that has read the greeting and logged in.
std::unique_ptr<QTcpSocket> loggedInClient(quint16 port,
                                           const QHostAddress &from = QHostAddress::LocalHost) {
    auto client = clientFrom(from, port);
    if (receive(*client, kGreeting.size()) != kGreeting)
        return nullptr;
    client->write(kPassword.toLatin1());
    return receive(*client, 18) == "Password accepted." ? std::move(client) : nullptr;
}

// A server on the device at the pty, with the password set and no lookups; true once it
// listens.
bool startOnDevice(ServerProcess &server, const PseudoTerminal &device) {
    server.setSetting("ServerCOM", device.slavePath());
    server.setSetting("ServerPassword", kPassword);
    server.setSetting("ServerCheckDGS", "False");
    server.start();
    return server.waitUntilListening();
}

// One value of the server's database: the column "v" of the first row.
QString databaseValue(ServerProcess &server, const char *sql) {
    Database db;
    db.open(server.environment().databasePath(), Database::OpenMode::MustExist);
    return db.query(sql).field("v");
}

// A server on a modem at the pty, logged-in client and all.
struct ModemServer {
    PseudoTerminal pty;
    FakeModem modem{pty};
    ServerProcess server{RINGWISE_SERVER_BINARY};
    std::unique_ptr<QTcpSocket> client;

    bool start() {
        server.setSetting("ServerDevice", "Modem");
        if (!startOnDevice(server, pty))
            return false;
        client = loggedInClient(server.port());
        return client != nullptr;
    }
};

// A server on the call monitor of a fake router on loopback, logged-in client and all.
struct RouterServer {
    QTcpServer router;
    std::unique_ptr<QTcpSocket> monitor;  // the server's connection, as the router holds it
    ServerProcess server{RINGWISE_SERVER_BINARY};
    std::unique_ptr<QTcpSocket> client;
    QByteArray address;  // as the server's messages name the router

    RouterServer() {
        router.listen(QHostAddress::LocalHost);
        address = "127.0.0.1:" + QByteArray::number(router.serverPort());
        server.setSetting("ServerDevice", "Router");
        server.setSetting("ServerRouterHost", "127.0.0.1");
        server.setSetting("ServerRouterPort", QString::number(router.serverPort()));
        server.setSetting("ServerPassword", kPassword);
        server.setSetting("ServerCheckDGS", "False");
    }
    bool start() {
        server.start();
        client = server.waitUntilListening() ? loggedInClient(server.port()) : nullptr;
        return client != nullptr && accept();
    }
    // Waits for the server to connect.
    bool accept() {
        if (!router.hasPendingConnections() && !router.waitForNewConnection(15000))
            return false;
        monitor.reset(router.nextPendingConnection());
        return true;
    }
    void send(const QByteArray &lines) {
        monitor->write(lines);
        monitor->flush();
    }
};

// The server binary run as a one-shot command beside the running server: what it printed,
// standard output when it succeeded, standard error otherwise.
QByteArray runCommand(const QStringList &arguments) {
    QProcess command;
    command.start(QStringLiteral(RINGWISE_SERVER_BINARY), arguments);
    if (!command.waitForFinished(30000))
        return "did not finish";
    return command.exitCode() == 0 ? command.readAllStandardOutput()
                                   : command.readAllStandardError();
}

// True when the server closes the connection without a byte.
bool closedUnseen(QTcpSocket &client) {
    QSignalSpy closed(&client, &QTcpSocket::disconnected);
    return (client.state() == QAbstractSocket::UnconnectedState || closed.wait()) &&
           client.readAll().isEmpty();
}

}  // namespace

class HeadlessServerTest : public QObject {
    Q_OBJECT

private slots:
    void callReachesEveryClientAndTheDatabase() {
        PseudoTerminal device;
        QVERIFY(device.isValid());
        ServerProcess server(RINGWISE_SERVER_BINARY);
        QVERIFY2(startOnDevice(server, device), server.standardError().constData());
        const quint16 port = server.port();

        auto first = loggedInClient(port);
        auto second = loggedInClient(port);
        QVERIFY(first && second);

        QVERIFY(device.write("A12345678#RRR"));
        const QByteArray line = "CALL_:,12345678,,,,,,";
        QCOMPARE(receive(*first, line.size()), line);
        QCOMPARE(receive(*second, line.size()), line);

        Database db;
        db.open(server.environment().databasePath(), Database::OpenMode::MustExist);
        QTRY_COMPARE(db.query("SELECT CallRings FROM tblCalls").field("CallRings"),
                     QStringLiteral("3"));
        Query contact = db.query("SELECT * FROM tblContacts");
        QCOMPARE(contact.field("Unrecognized"), QStringLiteral("12345678"));
        QCOMPARE(contact.field("TotalCalls"), QStringLiteral("1"));
        // Ended by the quiet device alone, so that the journal shows the call at once.
        QTRY_VERIFY(server.standardOutput().endsWith("\nA12345678#RRR\n"));
        QVERIFY(server.standardOutput().contains("\nSerial port: " + device.slavePath().toUtf8() +
                                                 "\n"));
        // Without a TLS port or a lookup, OpenSSL is neither started nor even loaded.
        QFile maps(QStringLiteral("/proc/%1/maps").arg(server.process().processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("libcrypto"));

        server.terminate();
        QVERIFY(server.waitForExit());
        QCOMPARE(server.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.process().exitCode(), 0);
    }

    // An import beside the running server names the next call of a caller it did not know,
    // whose calls stay with the contact; the export, imported again, changes nothing.
    void importWhileRunningNamesTheNextCall() {
        PseudoTerminal device;
        QVERIFY(device.isValid());
        ServerProcess server(RINGWISE_SERVER_BINARY);
        QVERIFY2(startOnDevice(server, device), server.standardError().constData());
        auto client = loggedInClient(server.port());
        QVERIFY(client);
        QVERIFY(device.write("A22334455#"));
        const QByteArray unknown = "CALL_:,22334455,,,,,,";
        QCOMPARE(receive(*client, unknown.size()), unknown);

        const QString contacts = server.environment().filePath(QStringLiteral("contacts.vcf"));
        QFile file(contacts);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Jens Hansen\r\nTEL;type=CELL:+45 22 33 44 "
            "55\r\nEND:VCARD\r\n");
        file.close();
        QCOMPARE(runCommand({"--import", contacts}),
                 "Added 0, updated 1, unchanged 0, refused 0.\n");
        QVERIFY(device.write("A22334455#"));
        const QByteArray named = "CALL_:,22334455,Jens Hansen,,22334455,,,";
        QCOMPARE(receive(*client, named.size()), named);
        QCOMPARE(databaseValue(server, "SELECT group_concat(ContactID) AS v FROM tblCalls"),
                 QStringLiteral("1,1"));

        const QString exported = server.environment().filePath(QStringLiteral("book.csv"));
        QCOMPARE(runCommand({"--export", exported}),
                 "Contacts written to " + exported.toUtf8() + ".\n");
        QCOMPARE(runCommand({"--import", exported, "--dry-run"}),
                 "Added 0, updated 0, unchanged 1, refused 0.\nDry run: nothing was changed.\n");
        QCOMPARE(runCommand({"--replace"}),
                 "Give either --import FILE (with --replace or --dry-run if "
                 "wanted) or --export FILE.\n");
    }

    // A server killed right after it announced a call has kept that call, and its pty
    // device, left in the dead run's state, opens again at the next start.
    void killedServerKeepsTheAnnouncedCallAndOpensItsDeviceAgain() {
        PseudoTerminal device;
        ServerProcess killed(RINGWISE_SERVER_BINARY);
        QVERIFY2(startOnDevice(killed, device), killed.standardError().constData());
        auto witness = loggedInClient(killed.port());
        QVERIFY(witness);
        QVERIFY(device.write("A11111111#"));
        const QByteArray announced = "CALL_:,11111111,,,,,,";
        QCOMPARE(receive(*witness, announced.size()), announced);
        killed.process().kill();
        QVERIFY(killed.waitForExit());
        {
            Database db;
            db.open(killed.environment().databasePath(), Database::OpenMode::MustExist);
            QCOMPARE(db.query("SELECT group_concat(CallNumber) AS v FROM tblCalls").field("v"),
                     QStringLiteral("11111111"));
            QCOMPARE(db.query("SELECT TotalCalls FROM tblContacts").field("TotalCalls"),
                     QStringLiteral("1"));
        }

        ServerProcess server(RINGWISE_SERVER_BINARY);
        QVERIFY2(startOnDevice(server, device), server.standardError().constData());
        auto client = loggedInClient(server.port());
        QVERIFY(client);
        QVERIFY(device.write("A12345678#"));
        const QByteArray line = "CALL_:,12345678,,,,,,";
        QCOMPARE(receive(*client, line.size()), line);
        QVERIFY2(!server.standardError().contains("Serial port"),
                 server.standardError().constData());
    }

    // While another program holds the write lock, a call is announced at once and waits;
    // it is stored with its rings once the lock goes. One still waiting at the end is lost,
    // and said so, with status 1.
    void callWaitsWhileAnotherProgramHoldsTheDatabase() {
        PseudoTerminal device;
        ServerProcess server(RINGWISE_SERVER_BINARY);
        QVERIFY2(startOnDevice(server, device), server.standardError().constData());
        auto client = loggedInClient(server.port());
        QVERIFY(client);
        QVERIFY(device.write("A11111111#"));
        QCOMPARE(receive(*client, 21), QByteArray("CALL_:,11111111,,,,,,"));

        const std::string path = server.environment().databasePath().toStdString();
        SQLite::Database other(path, SQLite::OPEN_READWRITE);
        const auto rows = [&] {
            SQLite::Database reader(path, SQLite::OPEN_READONLY);
            return QString::fromStdString(
                reader
                    .execAndGet("SELECT group_concat(CallNumber || ':' || CallRings) FROM tblCalls")
                    .getString());
        };
        other.exec("BEGIN IMMEDIATE");
        QVERIFY(device.write("A22222222#RR"));
        QCOMPARE(receive(*client, 21), QByteArray("CALL_:,22222222,,,,,,"));
        QTRY_VERIFY(server.standardError().contains(
            "Database: locked by another program; 1 call waiting to be stored.\n"));
        QTRY_VERIFY(server.standardOutput().contains("A22222222#RR"));
        other.exec("ROLLBACK");
        QTRY_COMPARE(rows(), "11111111:0,22222222:2");
        QTRY_VERIFY(server.standardError().contains("Database: the waiting call is stored.\n"));

        other.exec("BEGIN IMMEDIATE");
        QVERIFY(device.write("A33333333#"));
        QCOMPARE(receive(*client, 21), QByteArray("CALL_:,33333333,,,,,,"));
        server.terminate();
        QVERIFY(server.waitForExit());
        QCOMPARE(server.process().exitCode(), 1);
        QVERIFY2(
            server.standardError().contains("Database: 1 call could not be stored and is lost.\n"),
            server.standardError().constData());
        other.exec("ROLLBACK");
        QCOMPARE(rows(), "11111111:0,22222222:2");
    }

    void unknownCallerIsNamedFromTheDirectory() {
        QTcpServer directory;
        QVERIFY(directory.listen(QHostAddress::LocalHost, 0));
        QByteArray request;
        QObject::connect(&directory, &QTcpServer::newConnection, &directory, [&] {
            QTcpSocket *peer = directory.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [&request, peer] {
                request += peer->readAll();
                if (!request.endsWith("\r\n\r\n"))
                    return;
                peer->write(
                    "HTTP/1.0 200 OK\r\n\r\n<tr><td><img src=\"../img/oplysningen/"
                    "ikoner/resultat-pil.gif\" width=\"15\" height=\"12\"></td>"
                    "<td class=\"navn\"> S&oslash;ren O'Hara </td></tr></html>");
                peer->disconnectFromHost();
            });
        });

        PseudoTerminal device;
        ServerProcess server(RINGWISE_SERVER_BINARY);
        server.setSetting("ServerCOM", device.slavePath());
        server.setSetting("ServerPassword", kPassword);
        server.setSetting("ServerDirectoryHost",
                          QStringLiteral("http://127.0.0.1:%1").arg(directory.serverPort()));
        server.start();
        QVERIFY2(server.waitUntilListening(), server.standardError().constData());
        auto client = loggedInClient(server.port());
        QVERIFY(client);

        QVERIFY(device.write("A87654321#"));
        const QByteArray expected =
            "CALL_:,87654321,,,,,,CALL_:,87654321,S\xF8ren O'Hara (New),,,,,";
        QByteArray received;
        QTRY_VERIFY((received += client->readAll()).size() >= expected.size());
        QCOMPARE(received, expected);
        QVERIFY(request.startsWith("GET /vbw/super/resultat.do?"));
        QVERIFY(request.contains(
            "&compPhone=87654321&Image51.x=0&Image51.y=0 HTTP/1.0\r\nHost: 127.0.0.1:"));

        Database db;
        db.open(server.environment().databasePath(), Database::OpenMode::MustExist);
        QCOMPARE(db.query("SELECT FullName FROM tblContacts WHERE Unrecognized = ?", {"87654321"})
                     .field("FullName"),
                 QStringLiteral("Søren O'Hara"));
        server.terminate();
        QVERIFY(server.waitForExit());
        QCOMPARE(server.process().exitCode(), 0);
    }

    // The number comes between the first and the second ring, as on most lines, in the
    // international form, and some modems send the block again.
    void modemCallIsAnnouncedAsTheBoxsAndStoredWithItsRings() {
        ModemServer m;
        m.server.setSetting("ServerCountryCode", "46");
        QVERIFY2(m.start(), m.server.standardError().constData());
        QTRY_COMPARE(m.modem.commands(), (QStringList{"ATZ", "AT+VCID=1"}));
        const QByteArray block = "DATE = 1206\r\nTIME = 2015\r\nNMBR = +46 12 34 56 78\r\n";
        QVERIFY(m.pty.write("\r\nRING\r\n\r\n" + block + "\r\nRING\r\n"));
        const QByteArray line = "CALL_:,12345678,,,,,,";
        QCOMPARE(receive(*m.client, line.size()), line);
        QTRY_COMPARE(databaseValue(m.server, "SELECT CallRings AS v FROM tblCalls"),
                     QStringLiteral("2"));
        QVERIFY(m.pty.write(block + "RING\r\n"));
        QTRY_COMPARE(databaseValue(m.server, "SELECT CallRings AS v FROM tblCalls"),
                     QStringLiteral("3"));
        QCOMPARE(databaseValue(m.server, "SELECT group_concat(CallNumber) AS v FROM tblCalls"),
                 QStringLiteral("12345678"));
        QTRY_VERIFY(m.server.standardOutput().contains("\nTIME = 2015\nNMBR = +46 12 34 56 78"));
        m.server.terminate();
        QVERIFY(m.server.waitForExit());
        QCOMPARE(m.server.process().exitCode(), 0);
    }

    void withheldModemCallIsASecretNumber() {
        ModemServer m;
        m.modem.queueAnswer("AT+VCID=1", "ERROR");
        QVERIFY2(m.start(), m.server.standardError().constData());
        QTRY_COMPARE(m.modem.commands(), (QStringList{"ATZ", "AT+VCID=1", "AT#CID=1"}));
        QVERIFY(m.pty.write("DATE=1206\r\nTIME=2015\r\nnmbr=P\r\nRING\r\n"));
        const QByteArray line = "CALL_:,Secret number,,,,,,";
        QCOMPARE(receive(*m.client, line.size()), line);
        QTRY_COMPARE(databaseValue(m.server, "SELECT CallRings AS v FROM tblCalls"),
                     QStringLiteral("1"));
    }

    // A blocked caller is stored and announced as any other, and the modem hangs up on it;
    // another caller's call is left alone.
    void modemHangsUpOnBlockedCallers() {
        ModemServer m;
        m.server.setSetting("ServerModemHangupMs", "20");
        m.server.setSetting("BlockWithheld", "True");
        QVERIFY2(m.start(), m.server.standardError().constData());
        const QStringList initialisation = {"ATZ", "AT+VCID=1"};
        QTRY_COMPARE(m.modem.commands(), initialisation);
        m.client->write("BLOCK:ADD;2233*;telemarketer");
        QCOMPARE(receive(*m.client, 15), QByteArray("BLOCK:ADD;2233*"));

        QVERIFY(m.pty.write("RING\r\nNMBR = 12345678\r\n"));
        QCOMPARE(receive(*m.client, 21), QByteArray("CALL_:,12345678,,,,,,"));
        QVERIFY(m.pty.write("RING\r\nNMBR = 22334455\r\n"));
        QCOMPARE(receive(*m.client, 21), QByteArray("CALL_:,22334455,,,,,,"));
        QTRY_VERIFY(m.server.standardOutput().contains("\nBlocked 22334455: hung up."));
        QVERIFY(m.pty.write("RING\r\nNMBR = P\r\n"));
        QCOMPARE(receive(*m.client, 26), QByteArray("CALL_:,Secret number,,,,,,"));
        QTRY_VERIFY(m.server.standardOutput().contains("\nBlocked Secret number: hung up."));
        QCOMPARE(m.modem.commands(),
                 initialisation + QStringList({"ATH1", "ATH0", "ATH1", "ATH0"}));
        QCOMPARE(databaseValue(m.server, "SELECT group_concat(CallNumber) AS v FROM tblCalls"),
                 QStringLiteral("12345678,22334455,Secret number"));

        m.client->write("BLOCK:LIST;");
        const QString time = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d";
        const QString answer = QString::fromLatin1(receive(*m.client, 123));
        QVERIFY2(QRegularExpression(QStringLiteral("^BLOCK:LIST;Secret number,BlockWithheld,,1,%1;"
                                                   "2233\\*,telemarketer,%1,1,%1;$")
                                        .arg(time))
                     .match(answer)
                     .hasMatch(),
                 qPrintable(answer));
    }

    void modemThatNeverAnswersIsReportedAndHostingRuns() {
        ModemServer m;
        m.modem.setSilent(true);
        QVERIFY2(m.start(), m.server.standardError().constData());
        QTRY_VERIFY_WITH_TIMEOUT(m.server.standardError().contains(
                                     "Serial port: the modem on " + m.pty.slavePath().toUtf8() +
                                     " does not answer ATZ within 3 s. Trying again every 5 s.\n"),
                                 10000);
        QCOMPARE(m.modem.commands(), QStringList{"ATZ"});
    }

    // Two calls overlap; each gets its own ring count, from its RING to its CONNECT, or to its
    // DISCONNECT when nobody answered. An outgoing call is only shown.
    void routerCallsAreAnnouncedAsTheBoxsAndStoredWithTheirRings() {
        RouterServer r;
        QVERIFY2(r.start(), r.server.standardError().constData());
        r.send("07.12.26 18:20:59;RING;0;+45 22334455;87654321;SIP0;\r\n");
        QCOMPARE(receive(*r.client, 21), "CALL_:,22334455,,,,,,");
        r.send("07.12.26 18:21:01;RING;1;;87654321;SIP0;\r\n");
        QCOMPARE(receive(*r.client, 26), "CALL_:,Secret number,,,,,,");
        r.send(
            "07.12.26 18:21:21;CONNECT;1;4;;\r\n07.12.26 18:21:29;DISCONNECT;0;0;\r\n"
            "07.12.26 18:22:10;CALL;2;4;87654321;004922334455;SIP0;\r\n"
            "07.12.26 18:22:15;CONNECT;2;4;004922334455;\r\n");
        QTRY_VERIFY(r.server.standardOutput().contains("\n07.12.26 18:22:15;CONNECT;2;"));
        QCOMPARE(databaseValue(r.server,
                               "SELECT group_concat(CallNumber || ':' || CallRings) AS v "
                               "FROM (SELECT * FROM tblCalls ORDER BY ID)"),
                 QStringLiteral("22334455:6,Secret number:4"));
    }

    void routerClosingIsReportedOnceAndReconnected() {
        RouterServer r;
        QVERIFY2(r.start(), r.server.standardError().constData());
        r.monitor->disconnectFromHost();
        QTRY_VERIFY(r.server.standardError().contains(
            "Router: cannot reach " + r.address +
            " (the remote host closed the connection). Is the call monitor switched on? Dial "
            "#96*5* on a telephone connected to the router.\n"));
        // Back once the connection brings a line: one that is dropped at once is not.
        QVERIFY(r.accept());
        r.send("07.12.26 18:20:59;RING;0;22334455;87654321;SIP0;\r\n");
        QCOMPARE(receive(*r.client, 21), "CALL_:,22334455,,,,,,");
        QTRY_VERIFY(
            r.server.standardError().contains("Router: connected to " + r.address + " again.\n"));
        QCOMPARE(r.server.standardError().count("Router:"), 2);
    }

    void routerThatIsNotThereIsReported() {
        RouterServer r;
        r.router.close();
        r.server.start();
        QVERIFY(r.server.waitUntilListening());
        QTRY_VERIFY(r.server.standardError().contains(
            "Router: cannot reach " + r.address +
            " (connection refused). Is the call monitor switched on? Dial #96*5* on a telephone "
            "connected to the router.\n"));
    }

    void listensOnlyOnServerListen_data() {
        QTest::addColumn<QString>("listen");
        QTest::newRow("127.0.0.2") << "127.0.0.2";
        QTest::newRow("::1") << "::1";
    }

    void listensOnlyOnServerListen() {
        QFETCH(QString, listen);
        ServerProcess server(RINGWISE_SERVER_BINARY);
        server.setListen(QStringLiteral(":0"));
        server.setSetting("ServerListen", listen);
        server.setSetting("ServerCOM", kNoDevice);
        server.start();
        QVERIFY2(server.waitUntilListening(), server.standardError().constData());
        QVERIFY(server.standardOutput().contains("Local IP: " + listen.toLatin1()));

        QTcpSocket there;
        there.connectToHost(QHostAddress(listen), server.port());
        QCOMPARE(receive(there, kGreeting.size()), kGreeting);
        QTcpSocket elsewhere;
        QSignalSpy refused(&elsewhere, &QTcpSocket::errorOccurred);
        elsewhere.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(refused.wait());
        QCOMPARE(elsewhere.error(), QAbstractSocket::ConnectionRefusedError);
    }

    // A port another program holds, and an address this machine does not have.
    void unusableAddressEndsWithTheBindError_data() {
        QTest::addColumn<QString>("listen");
        QTest::addColumn<bool>("portTaken");
        QTest::newRow("port in use") << "" << true;
        QTest::newRow("192.0.2.1") << "192.0.2.1" << false;
        QTest::newRow("not an address") << "localhost" << false;
    }

    void unusableAddressEndsWithTheBindError() {
        QFETCH(QString, listen);
        QFETCH(bool, portTaken);
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::AnyIPv4, 0));
        ServerProcess server(RINGWISE_SERVER_BINARY);
        server.setListen({});
        // The port of a closed listener is free unless another program took it meanwhile;
        // the address alone then fails.
        const quint16 port = occupant.serverPort();
        if (!portTaken)
            occupant.close();
        server.setSetting("ServerPort", QString::number(port));
        server.setSetting("ServerListen", listen);
        server.setSetting("ServerCOM", kNoDevice);
        server.start();
        QVERIFY(server.waitForExit());
        QCOMPARE(server.process().exitCode(), 1);
        QVERIFY2(server.standardError().contains(
                     "Bind Error.: Unable to bind.\n\nPossible errors:\n"
                     "* Make sure the port is not in use.\n"
                     "* A Ringwise server is already started at this port.\n"),
                 server.standardError().constData());
    }

    void tlsClientsSpeakTheSameProtocol() {
        TestCertificate made;
        QVERIFY(made.valid);
        PseudoTerminal device;
        ServerProcess server(RINGWISE_SERVER_BINARY);
        const quint16 tlsPort = loopbackPortForTls();
        server.setSetting("ServerTlsPort", QString::number(tlsPort));
        server.setSetting("ServerTlsCert", made.certificate);
        server.setSetting("ServerTlsKey", made.key);
        server.setSetting("ServerCheckDGS", "False");
        server.setSetting("ServerCOM", device.slavePath());
        server.setSetting("ServerPassword", kPassword);
        server.start();
        QVERIFY2(server.waitUntilListening(), server.standardError().constData());

        QSslSocket client;
        QSslConfiguration trust = QSslConfiguration::defaultConfiguration();
        trust.setCaCertificates(QSslCertificate::fromPath(made.certificate));
        client.setSslConfiguration(trust);
        QSignalSpy encrypted(&client, &QSslSocket::encrypted);
        client.connectToHostEncrypted("127.0.0.1", tlsPort, "localhost");
        QVERIFY2(encrypted.wait(), qPrintable(client.errorString()));
        QVERIFY(client.sessionProtocol() >= QSsl::TlsV1_2);
        QCOMPARE(receive(client, kGreeting.size()), kGreeting);
        client.write(kPassword.toLatin1());
        QCOMPARE(receive(client, 18), QByteArray("Password accepted."));
        QVERIFY(device.write("A12345678#"));
        const QByteArray line = "CALL_:,12345678,,,,,,";
        QCOMPARE(receive(client, line.size()), line);
        client.write("STATS:CNTS;00");
        QVERIFY(receive(client, 13).startsWith("STATS:CNTS;00"));

        // A client that does not speak TLS on the TLS port is dropped and noted.
        QTcpSocket plain;
        plain.connectToHost(QHostAddress::LocalHost, tlsPort);
        QVERIFY(plain.waitForConnected());
        const QByteArray from = "127.0.0.1:" + QByteArray::number(plain.localPort());
        plain.write("correct-horse");
        QVERIFY(closedUnseen(plain));
        QTRY_VERIFY(server.standardOutput().contains("TLS client " + from + " dropped:"));

        // One host holding handshakes open leaves room for every other host, and its own
        // room comes back as its handshakes end.
        const QHostAddress host("127.0.0.2");
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < 4; ++i) {
            idle.push_back(clientFrom(host, tlsPort));
            QVERIFY(idle.back()->waitForConnected());
        }
        QVERIFY(closedUnseen(*clientFrom(host, tlsPort)));
        const auto greetedOverTls = [&](const QHostAddress &from) {
            QSslSocket other;
            other.setSslConfiguration(trust);
            other.bind(from);
            other.connectToHostEncrypted("127.0.0.1", tlsPort, "localhost");
            return receive(other, kGreeting.size()) == kGreeting;
        };
        QVERIFY(greetedOverTls(QHostAddress("127.0.0.3")));
        idle.front()->disconnectFromHost();
        QTRY_VERIFY(server.standardOutput().contains("TLS client 127.0.0.2:"));
        QVERIFY(greetedOverTls(host));
    }

    void mismatchedTlsKeyIsReportedAndOnlyThePlainPortOpens() {
        TestCertificate made;
        QVERIFY(made.valid);
        ServerProcess server(RINGWISE_SERVER_BINARY);
        // Bound here and never listened on, the port stays closed to every program, so
        // a connection to it is refused whatever else runs beside this test.
        QTcpSocket holder;
        QVERIFY(holder.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
        const quint16 tlsPort = holder.localPort();
        server.setSetting("ServerTlsPort", QString::number(tlsPort));
        server.setSetting("ServerTlsCert", made.certificate);
        server.setSetting("ServerTlsKey", made.otherKey);
        server.setSetting("ServerCOM", kNoDevice);
        server.start();
        QVERIFY2(server.waitUntilListening(), server.standardError().constData());
        QTRY_VERIFY2(server.standardError().contains(
                         "TLS: The TLS key " + made.otherKey.toUtf8() +
                         " does not belong to the certificate " + made.certificate.toUtf8() +
                         ". The TLS port " + QByteArray::number(tlsPort) + " is not opened.\n"),
                     server.standardError().constData());
        QCOMPARE(server.standardError().count("TLS:"), 1);
        QTcpSocket plain;
        plain.connectToHost(QHostAddress::LocalHost, server.port());
        QCOMPARE(receive(plain, kGreeting.size()), kGreeting);
        QTcpSocket tls;
        QSignalSpy refused(&tls, &QTcpSocket::errorOccurred);
        tls.connectToHost(QHostAddress::LocalHost, tlsPort);
        QVERIFY(refused.wait());
        QCOMPARE(tls.error(), QAbstractSocket::ConnectionRefusedError);
    }

    // Without a password start-up says who can get in. A password set while the server runs
    // is in force at once, and stays so when its file goes away.
    void passwordSetWhileRunningHoldsWhenItsFileGoesAway() {
        ServerProcess server(RINGWISE_SERVER_BINARY);
        server.setSetting("ServerCOM", kNoDevice);
        server.start();
        QVERIFY2(server.waitUntilListening(), server.standardError().constData());
        QTRY_VERIFY(server.standardError().contains(
            "Warning: No password is set: anyone who can reach port " +
            QByteArray::number(server.port()) +
            " can read and change the call log and contacts. Set one with --set "
            "ServerPassword=…\n"));
        const auto refused = [&server] {
            auto client = clientFrom(QHostAddress::LocalHost, server.port());
            return receive(*client, kGreeting.size()) == kGreeting &&
                   client->write("STATS:CNTS;00") > 0 &&
                   receive(*client, 17) == "Invalid password.";
        };
        server.setSetting("ServerPassword", kPassword);
        QTRY_VERIFY(refused());

        const QString path = server.environment().settingsPath();
        QVERIFY(QFile::rename(path, path + ".moved"));
        QTRY_VERIFY(server.standardError().contains(
            "Settings: " + path.toUtf8() +
            " cannot be read (No such file or directory); the settings read before stay in "
            "force.\n"));
        QVERIFY(refused());
    }

    // Out of descriptors, the server stops accepting for a second at a time instead of
    // retrying at once: it uses next to no processor time while clients wait. The window
    // is three of its pings, a second apart.
    void outOfDescriptorsPausesAccepting() {
#ifdef RINGWISE_SANITIZE
        // UBSan checks an object's type by reading its memory through a pipe, which cannot be
        // made while descriptors are out: every such check fails and ends the server.
        QSKIP("A sanitized server cannot run out of descriptors.");
#endif
        ServerProcess server(RINGWISE_SERVER_BINARY);
        server.setSetting("ServerCOM", kNoDevice);
        server.setSetting("ServerPing", "1");
        server.process().setChildProcessModifier([] {
            const rlimit limit = {64, 64};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        });
        server.start();
        QVERIFY2(server.waitUntilListening(), server.standardError().constData());
        QTRY_VERIFY(server.standardOutput().contains(
            "Clients: The limit of 64 open descriptors leaves room for about 32 clients, fewer "
            "than ServerMaxClients (10000)."));
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (int i = 0; i < 63; ++i)
            clients.push_back(clientFrom(QHostAddress::LocalHost, server.port()));
        const QByteArray shortage =
            "cannot accept clients: Too many open files (error 24). New "
            "clients wait; accepting is retried every 1 s.";
        QTRY_VERIFY(server.standardOutput().contains(shortage));
        QTcpSocket &served = *clients.front();
        served.readAll();
        const double before = cpuSeconds(server.process().processId());
        QByteArray pings;
        QTRY_VERIFY_WITH_TIMEOUT((pings += served.readAll()).count("PING_:") >= 3, 10000);
        const double used = cpuSeconds(server.process().processId()) - before;
        QVERIFY2(used < 0.3, qPrintable(QString::number(used)));
        QCOMPARE(server.standardOutput().count(shortage), 1);
        // With descriptors free again, the clients that waited are served.
        clients.erase(clients.begin(), clients.begin() + 20);
        QCOMPARE(receive(*clients.back(), kGreeting.size()), kGreeting);
    }

    // A database that cannot be opened, or only read, ends start-up with its error, never
    // a run that drops every call.
    void unusableDatabaseEndsWithItsError_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("error");
        QTest::newRow("missing configured file") << "missing" << QByteArray("Error Number : 14\n");
        QTest::newRow("read-only file") << "file" << QByteArray("Error Number : 8\nThe database ");
        QTest::newRow("read-only folder")
            << "folder" << QByteArray("Error Number : 8\nThe database ");
    }
    void unusableDatabaseEndsWithItsError() {
        QFETCH(QString, kind);
        QFETCH(QByteArray, error);
        if (kind != "missing" && ::geteuid() == 0)
            QSKIP("Root writes read-only files; CI runs this test again as another user.");
        ServerProcess server(RINGWISE_SERVER_BINARY);
        const QString folder = server.environment().filePath("calls");
        const QString path = folder + "/calls.db";
        QVERIFY(QDir().mkpath(folder));
        if (kind != "missing") {
            Database().open(path, Database::OpenMode::CreateIfMissing);
            QVERIFY(QFile::setPermissions(kind == "file" ? path : folder,
                                          QFile::ReadOwner | QFile::ExeOwner));
        }
        server.setSetting("ServerDB", path);
        server.setSetting("ServerCOM", kNoDevice);
        server.start();
        QVERIFY(server.waitForExit());
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(server.process().exitCode(), 1);
        QVERIFY2(server.standardError().contains(error), server.standardError().constData());
        QCOMPARE(QFile::exists(path), kind != "missing");
    }
};

QTEST_GUILESS_MAIN(HeadlessServerTest)
#include "headless_server_test.moc"
