// SPDX-License-Identifier: GPL-3.0-or-later
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "client/call_runner.h"
#include "client/watcher.h"
#include "db/database.h"
#include "support/loopback.h"
#include "support/private_bus.h"
#include "support/pseudo_terminal.h"
#include "support/server_process.h"
#include "support/test_certificate.h"

using namespace ringwise;
using namespace ringwise::test;

namespace {

const QString kPassword = QStringLiteral("correct-horse");
const QString kTime = QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d");

// The real client binary, with the password in its environment.
class ClientProcess {
public:
    explicit ClientProcess(const QStringList &arguments, const QString &password = kPassword,
                           const QProcessEnvironment &extra = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("RINGWISE_PASSWORD"), password);
        env.insert(extra);
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(m_home.path());
        m_process.start(RINGWISE_CLIENT_BINARY, arguments);
    }
    ~ClientProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool finish() { return m_process.waitForFinished(20000); }
    int status() const { return m_process.exitCode(); }
    QString out() { return QString::fromUtf8(m_out += m_process.readAllStandardOutput()); }
    QString err() { return QString::fromUtf8(m_err += m_process.readAllStandardError()); }
    QString home() const { return m_home.path(); }

private:
    QTemporaryDir m_home;
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

QStringList withPort(QStringList arguments, quint16 port) {
    return arguments << QStringLiteral("--port") << QString::number(port);
}

// A directory that names every number Søren O'Hara.
void answerWithName(QTcpServer &directory) {
    QObject::connect(&directory, &QTcpServer::newConnection, &directory, [&directory] {
        QTcpSocket *peer = directory.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, peer, [peer] {
            peer->readAll();
            peer->write(
                "HTTP/1.0 200 OK\r\n\r\n<tr><td><img src=\"../img/oplysningen/"
                "ikoner/resultat-pil.gif\" width=\"15\" height=\"12\"></td>"
                "<td class=\"navn\"> S&oslash;ren O'Hara </td></tr></html>");
            peer->disconnectFromHost();
        });
    });
}

// An executable shell script in `folder`.
QString writeProgram(const QTemporaryDir &folder, const QByteArray &body) {
    const QString path = folder.filePath(QStringLiteral("program"));
    QFile script(path);
    script.open(QIODevice::WriteOnly);
    script.write("#!/bin/sh\n" + body);
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString fileText(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QProcessEnvironment sessionBus(const QString &address) {
    QProcessEnvironment env;
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    return env;
}

// A headless server with a pty for its device and a password; lookups off unless a
// directory is given.
struct Server {
    PseudoTerminal device;
    ServerProcess process{RINGWISE_SERVER_BINARY};

    bool start(quint16 directoryPort = 0) {
        process.setSetting("ServerCOM", device.slavePath());
        process.setSetting("ServerPassword", kPassword);
        process.setSetting("ServerCheckDGS", directoryPort ? "True" : "False");
        if (directoryPort)
            process.setSetting("ServerDirectoryHost",
                               QStringLiteral("http://127.0.0.1:%1").arg(directoryPort));
        process.start();
        if (!process.waitUntilListening())
            return false;
        // Start-up names its files once the database is open.
        QElapsedTimer timer;
        timer.start();
        while (!process.standardOutput().contains("\nSerial port: ") && timer.elapsed() < 10000)
            process.process().waitForReadyRead(200);
        return process.standardOutput().contains("\nSerial port: ");
    }
    void seed(const QStringList &statements) {
        Database db;
        db.open(process.environment().databasePath(), Database::OpenMode::MustExist);
        for (const QString &sql : statements)
            db.exec(sql);
    }
};

}  // namespace

class ClientEndToEndTest : public QObject {
    Q_OBJECT

    TestCertificate m_certificate;
    quint16 m_tlsPort = 0;
    Server m_seeded;

private slots:
    // The seeded server also listens for TLS with a self-signed certificate for localhost.
    void initTestCase() {
        QVERIFY(m_certificate.valid);
        m_tlsPort = loopbackPortForTls();
        m_seeded.process.setSetting("ServerTlsPort", QString::number(m_tlsPort));
        m_seeded.process.setSetting("ServerTlsCert", m_certificate.certificate);
        m_seeded.process.setSetting("ServerTlsKey", m_certificate.key);
        QVERIFY2(m_seeded.start(), m_seeded.process.standardError().constData());
        m_seeded.seed({
            "INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, BusinessPhone, Email, "
            "TotalCalls) VALUES ('Karen Holm', '04512345', '20304050', '', "
            "'karen@example.dk', 2)",
            "INSERT INTO tblContacts (FullName, TotalCalls, Unrecognized) "
            "VALUES ('Søren O''Hara', 1, '87654321')",
            "INSERT INTO tblCalls (ContactID, CallTime, CallRings, CallNumber) VALUES "
            "(1, '2026-12-06 20:15:04', 3, '04512345'), (2, '2026-12-06 21:00:00', 1, "
            "'87654321'), (1, '2026-12-07 08:30:00', 2, '04512345')",
            "INSERT INTO tblBlocked (Number, Note, Added) VALUES ('0451*', 'Holm', "
            "'2026-12-01 10:00:00')",
            "INSERT INTO tblBlockedCalls (CallID, Entry) VALUES (3, '0451*')",
        });
    }

    void oneShotCommandPrintsTheAnswer_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        const auto row = [](const QStringList &arguments, const QString &expected) {
            QTest::newRow(qPrintable(arguments.join(' '))) << arguments << expected;
        };
        row({"last", "2"},
            "Name          Time                 Number\n"
            "Karen Holm    2026-12-07 08:30:00  04512345\n"
            "Søren O'Hara  2026-12-06 21:00:00  87654321\n");
        row({"last", "2", "--json"},
            "[{\"name\":\"Karen Holm\",\"number\":\"04512345\",\"time\":\"2026-12-07 08:30:00\"},"
            "{\"name\":\"Søren O'Hara\",\"number\":\"87654321\","
            "\"time\":\"2026-12-06 21:00:00\"}]\n");
        row({"unknown"},
            "Name          Time                 Number\n"
            "Søren O'Hara  2026-12-06 21:00:00  87654321\n");
        row({"top", "1"},
            "ID  Name        Home      Mobile    Work  Fax  Email             Calls  Unrecognized\n"
            "1   Karen Holm  04512345  20304050             karen@example.dk  2\n");
        row({"contacts", "--json"},
            "[{\"calls\":\"2\",\"email\":\"karen@example.dk\",\"fax\":\"\",\"home\":\"04512345\","
            "\"id\":\"1\",\"mobile\":\"20304050\",\"name\":\"Karen Holm\",\"unrecognized\":\"\","
            "\"work\":\"\"},{\"calls\":\"1\",\"email\":\"\",\"fax\":\"\",\"home\":\"\","
            "\"id\":\"2\",\"mobile\":\"\",\"name\":\"Søren O'Hara\","
            "\"unrecognized\":\"87654321\",\"work\":\"\"}]\n");
        row({"search", "NAME", "o"},
            "Name        Home      Mobile    Email             Work  Fax  ID\n"
            "Karen Holm  04512345  20304050  karen@example.dk             1\n"
            "Matches: 1, 2\n");
        row({"search", "PHON", "999", "--json"}, "{\"matches\":[],\"record\":null}\n");
        row({"save", "new", "Ida Berg", "", "", "", "", ""}, "New record saved succesfully.\n");
        row({"block", "list"},
            "Number  Note  Added                Blocked calls  Last blocked\n"
            "0451*   Holm  2026-12-01 10:00:00  1              2026-12-07 08:30:00\n");
        row({"block", "list", "--json"},
            "[{\"added\":\"2026-12-01 10:00:00\",\"calls\":1,\"last\":\"2026-12-07 08:30:00\","
            "\"note\":\"Holm\",\"number\":\"0451*\"}]\n");
        row({"block", "add", "+45 2233*", "sælger"}, "2233* is on the block list.\n");
        row({"block", "remove", "2233*", "--json"}, "{\"number\":\"2233*\"}\n");
    }

    void oneShotCommandPrintsTheAnswer() {
        QFETCH(QStringList, arguments);
        ClientProcess client(withPort(arguments, m_seeded.process.port()));
        QVERIFY(client.finish());
        QVERIFY2(client.status() == 0, qPrintable(client.err()));
        QTEST(client.out(), "expected");
    }

    void exitStatusSaysWhatWentWrong_data() {
        QTest::addColumn<QStringList>("arguments");  // PORT: the server's, CLOSED: none
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("passwordFile");  // null: no --password-file
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        const auto row = [](const char *name, const QStringList &arguments, const QString &password,
                            const QByteArray &passwordFile, int status, const char *error) {
            QTest::newRow(name) << arguments << password << passwordFile << status
                                << QString(error);
        };
        const QStringList last = {"last", "0", "--port", "PORT"};
        const char *refused = "the server refused the password";
        row("wrong password", last, "wrong-horse", {}, 3, refused);
        row("wrong password, watch", {"watch", "--port", "PORT"}, "wrong-horse", {}, 3, refused);
        row("no password", {"top", "--port", "PORT"}, "", {}, 3, "the server wants a password");
        row("password file with CRLF", last, "", "correct-horse\r\n#\n", 0, "");
        row("password file, a blank after the password", last, "", "correct-horse \n", 3, refused);
        row("nothing listening", {"watch", "--port", "CLOSED"}, kPassword, {}, 1,
            "cannot reach 127.0.0.1:");
        row("usage", {"last", "many"}, kPassword, {}, 2, "not a number of rows");
        row("block remove, not listed", {"block", "remove", "999", "--port", "PORT"}, kPassword, {},
            1, "the server answered with an error: 999 is not on the block list");
    }

    void exitStatusSaysWhatWentWrong() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, password);
        QFETCH(QByteArray, passwordFile);
        QFETCH(int, status);
        QFETCH(QString, error);
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        arguments.replaceInStrings("CLOSED", QString::number(closed.serverPort()));
        closed.close();
        arguments.replaceInStrings("PORT", QString::number(m_seeded.process.port()));
        QTemporaryDir folder;
        if (!passwordFile.isNull()) {
            QFile file(folder.filePath("password"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(passwordFile);
            arguments << "--password-file" << file.fileName();
        }
        ClientProcess client(arguments, password);
        QVERIFY(client.finish());
        QVERIFY2(client.status() == status, qPrintable(client.err()));
        QVERIFY2(client.err().contains(error), qPrintable(client.err()));
        if (status != 0)
            QCOMPARE(client.out(), QString());
    }

    void watchGivesUpOnAServerThatDoesNotGreet() {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        ServerConnection connection("127.0.0.1", silent.serverPort(), kPassword, std::nullopt, 100);
        QString said;
        QTextStream err(&said);
        Watcher watcher(
            connection, [](const ClientCall &) {}, [] { return QDateTime(); }, 120, err);
        QSignalSpy finished(&watcher, &Watcher::finished);
        watcher.start();
        QVERIFY(finished.wait());
        QCOMPARE(finished[0][0].toInt(), 1);
        QVERIFY2(said.endsWith(": no greeting within 0.1 s\n"), qPrintable(said));
    }

    void tlsTrustsOnlyAVerifiedServer_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("--ca, the certificate's name")
            << QStringList{"--ca", "CERT", "--host", "localhost"} << 0 << "";
        QTest::newRow("no --ca: self-signed")
            << QStringList{"--host", "localhost"} << 1
            << "the server's certificate is not trusted: The certificate is self-signed, and "
               "untrusted (a certificate authority of your own goes in --ca FILE)";
        QTest::newRow("--ca, an address the certificate does not name")
            << QStringList{"--ca", "CERT", "--host", "127.0.0.1"} << 1
            << "The host name did not match any of the valid hosts for this certificate";
    }

    void tlsTrustsOnlyAVerifiedServer() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, error);
        arguments.replaceInStrings("CERT", m_certificate.certificate);
        ClientProcess client(
            withPort(QStringList{"--tls"} + arguments + QStringList{"last", "1"}, m_tlsPort));
        QVERIFY(client.finish());
        QVERIFY2(client.status() == status, qPrintable(client.err()));
        QVERIFY2(client.err().contains(error), qPrintable(client.err()));
        const QString answer =
            "Name        Time                 Number\n"
            "Karen Holm  2026-12-07 08:30:00  04512345\n";
        QCOMPARE(client.out(), status == 0 ? answer : QString());
    }

    // Hostile names: a shell command, a login answer, a call line, a terminal escape. No
    // notification service runs: that is said once, and the calls are still printed.
    void execRunsOnlyForTheDevicesCallsWithoutAShell() {
        Server server;
        QVERIFY2(server.start(), server.process.standardError().constData());
        server.seed(
            {"INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, Email) VALUES "
             "('$(touch pwned); ', '11111111', '', ''), ('Invalid password.', '22222222', '', ''), "
             "('a,b,CALL_:,666,Forged,,,,,', '33333333', '', ''), "
             "('Holm, Karen' || char(27) || '[2J', '', '44444444', 'PING_:5@example.dk')"});
        QTemporaryDir scripts;
        const QString names = scripts.filePath("names");
        const QString program =
            writeProgram(scripts, "printf '%s|%s\\n' \"$RINGWISE_NAME\" \"$RINGWISE_NUMBER\" >> '" +
                                      names.toUtf8() + "'\necho hook ran\n");

        QTemporaryDir nowhere;
        ClientProcess client(
            withPort({"watch", "--json", "--notify", "--exec", program}, server.process.port()),
            kPassword, sessionBus("unix:path=" + nowhere.filePath("no-bus")));
        QTRY_VERIFY_WITH_TIMEOUT(client.err().contains("watching"), 10000);
        QVERIFY(server.device.write("A11111111#A22222222#A33333333#A44444444#A55555555#"));
        const QStringList expected = {"$(touch pwned);|11111111", "Invalid password.|22222222",
                                      "a,b,CALL_:,666,Forged,,,,,|33333333",
                                      "Holm, Karen\x1b[2J|44444444", "|55555555"};
        QTRY_COMPARE_WITH_TIMEOUT(fileText(names), expected.join('\n') + '\n', 10000);
        QTRY_COMPARE_WITH_TIMEOUT(client.err().count("hook ran\n"), 5, 10000);
        QVERIFY(!QFile::exists(client.home() + "/pwned"));
        QVERIFY(!QFile::exists(scripts.filePath("pwned")));
        QCOMPARE(client.err().count("no desktop notification service"), 1);

        // Standard output holds the calls alone, one JSON object each.
        const QStringList lines = client.out().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), expected.size());
        for (int i = 0; i < lines.size(); ++i) {
            const QJsonObject call = QJsonDocument::fromJson(lines[i].toUtf8()).object();
            QCOMPARE(call["name"].toString() + '|' + call["number"].toString(), expected[i]);
            QVERIFY(
                QRegularExpression("^" + kTime + "$").match(call["time"].toString()).hasMatch());
        }
        const QJsonObject karen = QJsonDocument::fromJson(lines[3].toUtf8()).object();
        QCOMPARE(karen["mobile"].toString() + ' ' + karen["email"].toString(),
                 QStringLiteral("44444444 PING_:5@example.dk"));
    }

    void execStopsALongRunAndBoundsTheWaitingCalls() {
        QTemporaryDir scripts;
        const QString log = scripts.filePath("log");
        // The first call's run never ends by itself.
        const QString program =
            writeProgram(scripts,
                         "[ \"$RINGWISE_NUMBER\" = 1 ] && exec tail -f /dev/null\necho "
                         "\"$RINGWISE_NUMBER\" >> '" +
                             log.toUtf8() + "'\n");
        QString said;
        QTextStream err(&said);
        CallRunner runner(program, err, 200, 1);
        for (const char *number : {"1", "2", "3"}) {
            ClientCall call;
            call.fields[CallField::Number] = QString::fromLatin1(number);
            runner.run(call);
        }
        QTRY_COMPARE(fileText(log), QStringLiteral("2\n"));
        QCOMPARE(said.count(" ran longer than 0.2 s and was stopped; call: "), 1);
        QVERIFY2(said.contains(QRegularExpression(" not run, 1 calls wait for it already; call: "
                                                  "[^\n]*  3\n")),
                 qPrintable(said));
    }

    // The watch comes back when the server does; the call and then its naming are printed
    // and notified.
    void watchReconnectsAndShowsTheCallAndThenItsNaming() {
        PrivateBus bus;
        if (!bus.isRunning())
            QSKIP("dbus-daemon is not installed: no private bus for the notifications");
        FakeNotifications service(bus.address());
        QVERIFY(service.isRegistered());
        auto first = std::make_unique<Server>();
        QVERIFY2(first->start(), first->process.standardError().constData());
        const quint16 port = first->process.port();
        ClientProcess client(withPort({"watch", "--notify"}, port), kPassword,
                             sessionBus(bus.address()));
        QTRY_VERIFY_WITH_TIMEOUT(client.err().contains("watching"), 10000);
        first->process.terminate();
        QVERIFY(first->process.waitForExit());
        QTRY_VERIFY_WITH_TIMEOUT(client.err().contains("lost the connection"), 10000);

        // The same port again, so the client finds it.
        QTcpServer directory;
        QVERIFY(directory.listen(QHostAddress::LocalHost, 0));
        answerWithName(directory);
        Server second;
        second.process.setListen(QStringLiteral("127.0.0.1:%1").arg(port));
        QVERIFY2(second.start(directory.serverPort()), second.process.standardError().constData());
        QTRY_VERIFY_WITH_TIMEOUT(client.err().contains("again"), 20000);
        QCOMPARE(client.err().count("lost the connection"), 1);
        QVERIFY(second.device.write("A87654321#"));
        const QRegularExpression expected("^" + kTime + "  Unknown caller  87654321\n" + kTime +
                                          "  Søren O'Hara \\(New\\)  87654321\n$");
        QTRY_VERIFY2_WITH_TIMEOUT(expected.match(client.out()).hasMatch(), qPrintable(client.out()),
                                  10000);
        QTRY_COMPARE_WITH_TIMEOUT(service.received.size(), 2, 10000);
        QCOMPARE(service.received[0].summary, QStringLiteral("Unknown caller"));
        QCOMPARE(service.received[1].summary, QStringLiteral("Søren O'Hara"));
        for (const ReceivedNotification &notification : std::as_const(service.received)) {
            QCOMPARE(notification.appName, QStringLiteral("Ringwise Server"));
            QVERIFY(notification.body.startsWith("87654321\n"));
            QVERIFY(notification.hints.contains("image-data"));
        }
    }
};

QTEST_GUILESS_MAIN(ClientEndToEndTest)
#include "client_end_to_end_test.moc"
