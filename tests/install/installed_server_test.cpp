// SPDX-License-Identifier: GPL-3.0-or-later
#include <QSettings>
#include <QTcpSocket>
#include <QtTest>

#include "support/greeting.h"
#include "support/loopback.h"
#include "support/server_process.h"

using namespace ringwise::test;

// The server as `cmake --install` lays it out, started the way the system service starts it.
class InstalledServerTest : public QObject {
    Q_OBJECT

private slots:
    void answersWithTheSettingsAndDatabaseOfItsOptions() {
        ServerProcess server(RINGWISE_INSTALLED_SERVER);
        const QString config = server.environment().filePath("etc/ringwise.conf");
        const QString database = server.environment().filePath("lib/ringwise.db");
        {
            QSettings settings(config, QSettings::IniFormat);
            settings.setValue("Settings/ServerCOM", "/dev/ttyRingwiseMissing0");
            settings.setValue("Settings/ServerPassword", "correct-horse");
            settings.setValue("Settings/ServerWebPort", "0");
            // --database wins over a ServerDB that would be a fatal error.
            settings.setValue("Settings/ServerDB", server.environment().filePath("typo.db"));
        }
        QVERIFY(QDir().mkpath(QFileInfo(database).path()));
        server.start({"--headless", "--config", config, "--database", database});
        QVERIFY2(server.waitUntilListening(), server.standardError().constData());

        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.port());
        QCOMPARE(receive(client, kGreeting.size()), kGreeting);
        client.write("correct-horse");
        QCOMPARE(receive(client, 18), QByteArray("Password accepted."));

        const QByteArray out = server.standardOutput();
        QVERIFY2(out.contains("Settings: " + config.toUtf8() + "\nDatabase: " + database.toUtf8() +
                              "\n"),
                 out.constData());
        QVERIFY(QFile::exists(database));
        QVERIFY(!QFile::exists(server.environment().settingsPath()));
        QVERIFY(!QFile::exists(server.environment().databasePath()));
        // The journal keeps every line as it is written: no carriage returns in it.
        QVERIFY(!out.contains('\r'));

        server.terminate();
        QVERIFY(server.waitForExit());
        QCOMPARE(server.process().exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(InstalledServerTest)
#include "installed_server_test.moc"
