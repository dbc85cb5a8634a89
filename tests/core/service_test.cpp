#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "core/paths.h"
#include "core/service.h"
#include "core/settings_store.h"
#include "core/settings_table.h"
#include "db/database.h"
#include "support/fast_environment.h"
#include "support/greeting.h"
#include "support/loopback.h"
#include "support/pseudo_terminal.h"
#include "support/temp_environment.h"
#include "support/test_certificate.h"

using namespace ringwise;
using namespace ringwise::test;

namespace {

// A client that connected and read the greeting; no password is set in these tests.
std::unique_ptr<QTcpSocket> greetedClient(quint16 port) {
    auto client = std::make_unique<QTcpSocket>();
    client->connectToHost(QHostAddress::LocalHost, port);
    return receive(*client, kGreeting.size()) == kGreeting ? std::move(client) : nullptr;
}

}  // namespace

class ServiceTest : public QObject {
    Q_OBJECT

private slots:
    void startFromEmptyStore() {
        TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        Service service(store, fastEnvironment());
        QSignalSpy tray(&service, &Service::trayIconRequested);
        QSignalSpy minimize(&service, &Service::minimizeRequested);

        QVERIFY(service.start());
        QCOMPARE(tray.size(), 1);
        QCOMPARE(tray.first().first().toBool(), true);
        QCOMPARE(minimize.size(), 0);
        QVERIFY(!service.isRunning());
        QCOMPARE(service.selectedPort(), QStringLiteral("COM1"));
        QCOMPARE(service.hostingLabels(), HostingLabels{});
        QCOMPARE(service.callRecord().fields(), CallFields{});
        QVERIFY(QFile::exists(env.databasePath()));

        QSettings file(env.settingsPath(), QSettings::IniFormat);
        QCOMPARE(file.allKeys().size(), 3);
        service.shutdown();
        QCOMPARE(tray.last().first().toBool(), false);
    }

    void autoStartConnectsAndLogsCallsFromTheDevice() {
        TempEnvironment env;
        PseudoTerminal device;
        SettingsStore store(defaultSettingsPath());
        store.Write(key::ServerAutoStart, "True");
        store.Write(key::ServerCOM, device.slavePath());
        store.Write(key::ServerCheckDGS, "False");
        store.Write(key::ServerMinimized, "True");
        Service service(store, loopbackEnvironment());
        QSignalSpy minimize(&service, &Service::minimizeRequested);
        QVERIFY(service.start());
        const quint16 port = service.listeningPort();
        QVERIFY(port != 0);

        QVERIFY(service.isRunning());
        QCOMPARE(minimize.size(), 1);
        QCOMPARE(service.selectedPort(), device.slavePath());
        QCOMPARE(service.hostingLabels().isHosting, QStringLiteral("Yes"));
        QCOMPARE(service.hostingLabels().localPort, QString::number(port));

        auto client = greetedClient(port);
        QVERIFY(client);
        QTRY_COMPARE(service.hostingLabels().connections, QStringLiteral("1"));
        QVERIFY(device.write("A12345678#RRR"));
        QCOMPARE(receive(*client, 21), QByteArray("CALL_:,12345678,,,,,,"));
        QTRY_COMPARE(service.callRecord().value(CallField::Rings), QStringLiteral("3"));
        QCOMPARE(service.callRecord().value(CallField::CallTime),
                 QStringLiteral("2026-12-06 18:30:05"));
        QVERIFY(service.deviceOutput().endsWith("\r\nA12345678#RRR"));
    }

    void fakeCallIsBroadcastAndFakeRequestOnlyShown() {
        TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        store.Write(key::ServerCheckDGS, "False");
        store.Write(key::ServerCOM, "/dev/ttyRingwiseMissing0");
        Service service(store, loopbackEnvironment());
        QSignalSpy messages(&service, &Service::message);
        QVERIFY(service.start());
        service.toggleConnection();
        QVERIFY(service.isRunning());
        // The missing device is reported by its path, and hosting runs all the same.
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.at(0).at(2).toString().startsWith(
            "Cannot open /dev/ttyRingwiseMissing0: No such file or directory."));
        auto client = greetedClient(service.listeningPort());
        QVERIFY(client);
        QTRY_COMPARE(service.connectionList().size(), 1);

        service.fakeIncomingCall();
        QCOMPARE(receive(*client, 21), QByteArray("CALL_:,12345678,,,,,,"));
        QCOMPARE(service.callRecord().value(CallField::Rings), QStringLiteral("3"));
        QCOMPARE(service.callRecord().value(CallField::Number), QStringLiteral("12345678"));

        // Nobody asked, and the answer holds the contact book: the next text is a call.
        service.fakeOutgoingRequest();
        QVERIFY(service.deviceOutput().endsWith(
            " Fake outgoing: STATS:CNTS;00#, 1 ,  ,  ,  ,  ,  ,  , 1 , 12345678 "));
        service.fakeIncomingCall();
        QCOMPARE(receive(*client, 21), QByteArray("CALL_:,12345678,,,,,,"));
    }

    void disconnectClosesClientsAndTheirSlotsAreReused() {
        TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        store.Write(key::ServerCOM, "/dev/ttyRingwiseMissing0");
        Service service(store, loopbackEnvironment());
        QVERIFY(service.start());
        service.toggleConnection();
        const quint16 port = service.listeningPort();
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (int i = 0; i < 3; ++i)
            clients.push_back(greetedClient(port));
        QTRY_COMPARE(service.connectionList().size(), 3);

        service.toggleConnection();
        QVERIFY(!service.isRunning());
        QCOMPARE(service.hostingLabels(), HostingLabels{});
        QVERIFY(service.connectionList().isEmpty());
        for (auto &client : clients)
            QTRY_COMPARE(client->state(), QAbstractSocket::UnconnectedState);

        service.setSelectedPort("/dev/ttyRingwiseMissing3");
        QCOMPARE(service.selectedPort(), QStringLiteral("/dev/ttyRingwiseMissing3"));
        service.toggleConnection();
        clients.clear();
        for (int i = 0; i < 3; ++i)
            clients.push_back(greetedClient(service.listeningPort()));
        QTRY_COMPARE(service.connectionList().size(), 3);
        for (int slot = 1; slot <= 3; ++slot)
            QVERIFY(service.connectionList().at(slot - 1).startsWith(
                QStringLiteral("[%1]: ").arg(slot)));
        // The selector is fixed while running.
        service.setSelectedPort("COM5");
        QCOMPARE(service.selectedPort(), QStringLiteral("/dev/ttyRingwiseMissing3"));
    }

    // Scripts wait for the hosting line and then connect to either port.
    void everyPortTakesConnectionsOnceHostingIsShown() {
        TempEnvironment env;
        TestCertificate made;
        QVERIFY(made.valid);
        const quint16 tlsPort = loopbackPortForTls();
        SettingsStore store(defaultSettingsPath());
        store.Write(key::ServerAutoStart, "True");
        store.Write(key::ServerCheckDGS, "False");
        store.Write(key::ServerTlsPort, QString::number(tlsPort));
        store.Write(key::ServerTlsCert, made.certificate);
        store.Write(key::ServerTlsKey, made.key);
        Service service(store, loopbackEnvironment());
        bool tlsListening = false;
        connect(&service, &Service::hostingLabelsChanged, this, [&](const HostingLabels &labels) {
            if (labels.isHosting != QStringLiteral("Yes") || tlsListening)
                return;
            QTcpSocket tls;
            tls.connectToHost(QHostAddress::LocalHost, tlsPort);
            tlsListening = tls.waitForConnected(5000);
        });
        QVERIFY(service.start());
        QVERIFY(tlsListening);
        service.shutdown();
    }

    // A database file removed or replaced while the server runs is noticed, and the next
    // call goes into the file now at the path.
    void databaseFileRemovedOrReplaced_data() {
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<QString>("said");
        QTest::newRow("removed") << false << "was removed; it is created again for the calls.";
        QTest::newRow("replaced") << true << "was replaced; calls are stored in the new file.";
    }
    void databaseFileRemovedOrReplaced() {
        QFETCH(bool, replaced);
        QFETCH(QString, said);
        TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        store.Write(key::ServerCheckDGS, "False");
        ServiceEnvironment environment = fastEnvironment();
        environment.databaseRetryMs = 10;
        Service service(store, environment);
        QSignalSpy messages(&service, &Service::message);
        QVERIFY(service.start());
        service.fakeIncomingCall();
        const QString path = env.databasePath();
        QVERIFY(QFile::rename(path, path + ".old"));
        if (replaced)
            QVERIFY(QFile::copy(path + ".old", path));
        QTRY_COMPARE(messages.size(), 1);
        QCOMPARE(messages.first().at(2).toString(), path + " " + said);
        QVERIFY(service.deviceOutput().endsWith("Database: " + path + " " + said));

        service.fakeIncomingCall();
        Database db;
        db.open(path, Database::OpenMode::MustExist);
        QCOMPARE(db.query("SELECT COUNT(*) AS n FROM tblCalls").field("n"), replaced ? "2" : "1");
        QVERIFY(service.shutdown());
    }

    void fatalPaths() {
        TempEnvironment env;
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::AnyIPv4, 0));
        SettingsStore store(defaultSettingsPath());
        store.Write(key::ServerPort, QString::number(occupant.serverPort()));
        store.Write(key::ServerAutoStart, "True");
        {
            Service service(store, fastEnvironment());
            QSignalSpy fatal(&service, &Service::fatal);
            QVERIFY(!service.start());
            QCOMPARE(fatal.size(), 1);
            QCOMPARE(fatal.first().at(0).value<FatalKind>(), FatalKind::Bind);
            QCOMPARE(fatal.first().at(1).toString(), QStringLiteral("Bind Error."));
            QVERIFY(fatal.first().at(2).toString().startsWith("Unable to bind.\r\n\r\n"));
        }
        store.Write(key::ServerAutoStart, "False");
        store.Write(key::ServerDB, env.filePath("missing.db"));
        Service service(store, fastEnvironment());
        QSignalSpy fatal(&service, &Service::fatal);
        QVERIFY(!service.start());
        QCOMPARE(fatal.size(), 1);
        QCOMPARE(fatal.first().at(0).value<FatalKind>(), FatalKind::Database);
        QVERIFY(fatal.first().at(2).toString().startsWith("Error Number : 14\r\n"));
    }
};

QTEST_GUILESS_MAIN(ServiceTest)
#include "service_test.moc"
