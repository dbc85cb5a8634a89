// SPDX-License-Identifier: GPL-3.0-or-later
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>
#include <cstdio>

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

// Start-up connects to the device at once; no call is looked up in a directory.
void startOnDevice(SettingsStore &store, const PseudoTerminal &device) {
    store.Write(key::ServerAutoStart, "True");
    store.Write(key::ServerCOM, device.slavePath());
    store.Write(key::ServerCheckDGS, "False");
}

}  // namespace

class ServiceTest : public QObject {
    Q_OBJECT

private slots:
    // Auto-start hosts at once. A call from the device and the fake call reach the client
    // alike; the answer to the fake outgoing request, which the client never asked for and
    // which holds the contact book, is only shown.
    void autoStartHostsAndCallsReachTheClient() {
        TempEnvironment env;
        PseudoTerminal device;
        SettingsStore store(defaultSettingsPath());
        startOnDevice(store, device);
        Service service(store, loopbackEnvironment());
        QVERIFY(service.start());
        QVERIFY(service.isRunning());
        service.setSelectedPort("COM5");  // fixed while running
        QCOMPARE(service.selectedPort(), device.slavePath());
        QCOMPARE(service.hostingLabels().localPort, QString::number(service.listeningPort()));
        auto client = greetedClient(service.listeningPort());
        QVERIFY(client);
        QTRY_COMPARE(service.hostingLabels().connections, QStringLiteral("1"));

        QVERIFY(device.write("A12345678#RRR"));
        QCOMPARE(receive(*client, 21), QByteArray("CALL_:,12345678,,,,,,"));
        QTRY_COMPARE(service.callRecord().value(CallField::Rings), QStringLiteral("3"));
        QCOMPARE(service.callRecord().value(CallField::CallTime),
                 QStringLiteral("2026-12-06 18:30:05"));
        service.fakeOutgoingRequest();
        QVERIFY(service.deviceOutput().endsWith(
            " Fake outgoing: STATS:CNTS;00#, 1 ,  ,  ,  ,  ,  ,  , 1 , 12345678 "));
        service.fakeIncomingCall();
        QCOMPARE(receive(*client, 21), QByteArray("CALL_:,12345678,,,,,,"));
    }

    // The disk sync of a call runs beside the event loop: clients are answered meanwhile,
    // and the device's next call is read only once the sync is done.
    void nextCallWaitsForTheSyncWhileClientsAreAnswered() {
        TempEnvironment env;
        PseudoTerminal device;
        SettingsStore store(defaultSettingsPath());
        startOnDevice(store, device);
        QSemaphore begun, done;
        ServiceEnvironment environment = loopbackEnvironment();
        environment.syncFile = [&](int) {
            begun.release();
            done.acquire();
            return 0;
        };
        Service service(store, environment);
        const auto endSyncs = qScopeGuard([&] { done.release(100); });
        QVERIFY(service.start());
        auto client = greetedClient(service.listeningPort());
        QVERIFY(client);

        QVERIFY(device.write("A11111111#A22222222#"));
        QCOMPARE(receive(*client, 21), QByteArray("CALL_:,11111111,,,,,,"));
        QVERIFY(begun.tryAcquire(1, 5000));
        client->write("STATS:LAST;10");
        QVERIFY(receive(*client, 30).contains("11111111"));
        QCOMPARE(service.callRecord().value(CallField::Number), QStringLiteral("11111111"));

        done.release();
        QCOMPARE(receive(*client, 21), QByteArray("CALL_:,22222222,,,,,,"));
        QVERIFY(begun.tryAcquire(1, 5000));
    }

    // A disk that fails the flush is reported, with the system's words for it.
    void failedFlushIsReported() {
        TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        store.Write(key::ServerCheckDGS, "False");
        ServiceEnvironment environment = fastEnvironment();
        environment.syncFile = [](int) { return EIO; };
        Service service(store, environment);
        QSignalSpy messages(&service, &Service::message);
        QVERIFY(service.start());
        service.fakeIncomingCall();
        QTRY_COMPARE(messages.size(), 1);
        QCOMPARE(messages.first().at(2).toString(),
                 "the disk did not confirm the last write (Input/output error); calls since "
                 "then may be lost if the power fails.");
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
        if (replaced) {
            Database backup;
            backup.open(path + ".backup", Database::OpenMode::CreateIfMissing);
            backup.exec("INSERT INTO tblCalls (CallNumber) VALUES('99999999')");
            backup.close();
            // As a restore does: over the file in use, which QFile::rename would not do.
            QCOMPARE(std::rename(qPrintable(path + ".backup"), qPrintable(path)), 0);
        } else {
            QVERIFY(QFile::remove(path));
        }
        QTRY_COMPARE(messages.size(), 1);
        QCOMPARE(messages.first().at(2).toString(), path + " " + said);
        QVERIFY(service.deviceOutput().endsWith("Database: " + path + " " + said));

        // The calls of the file that went stay out of the one now there.
        service.fakeIncomingCall();
        Database db;
        db.open(path, Database::OpenMode::MustExist);
        QCOMPARE(db.query("SELECT group_concat(CallNumber) AS v FROM tblCalls").field("v"),
                 replaced ? "99999999,12345678" : "12345678");
        QVERIFY(service.shutdown());
    }

    // The desktop offers the settings after a bind error only, so the kind matters.
    void unopenableDatabaseIsADatabaseFatal() {
        TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        store.Write(key::ServerDB, env.filePath("missing.db"));
        Service service(store, fastEnvironment());
        QSignalSpy fatal(&service, &Service::fatal);
        QVERIFY(!service.start());
        QCOMPARE(fatal.size(), 1);
        QCOMPARE(fatal.first().at(0).value<FatalKind>(), FatalKind::Database);
    }
};

QTEST_GUILESS_MAIN(ServiceTest)
#include "service_test.moc"
