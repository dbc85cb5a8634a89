// SPDX-License-Identifier: GPL-3.0-or-later
#include <QtTest>

#include "app/settings_command.h"
#include "core/paths.h"
#include "core/settings_store.h"
#include "core/settings_table.h"
#include "support/temp_environment.h"

using namespace ringwise;

namespace {

struct Outcome {
    int status = -1;
    QString out, err;
};

// The command line as the program parses it; status -1 when it is no settings command.
Outcome run(SettingsStore &store, const QStringList &arguments) {
    QCommandLineParser parser;
    addSettingsOptions(parser);
    if (!parser.parse(QStringList{"ringwise-server"} + arguments))
        qFatal("bad test arguments: %s", qPrintable(parser.errorText()));
    Outcome outcome;
    QTextStream out(&outcome.out), err(&outcome.err);
    outcome.status = isSettingsCommand(parser) ? runSettingsCommand(store, parser, out, err) : -1;
    return outcome;
}

struct Fixture {
    test::TempEnvironment env;
    SettingsStore store{defaultSettingsPath()};
};

}  // namespace

class SettingsCommandTest : public QObject {
    Q_OBJECT

private slots:
    void listsEveryKeyWithThePasswordHidden() {
        Fixture f;
        QCOMPARE(run(f.store, {}).status, -1);  // no option: the program starts as usual
        QVERIFY(f.store.Write(key::ServerPort, "7000"));
        QVERIFY(f.store.Write(key::ServerPassword, "very-secret"));
        QVERIFY(f.store.Write(key::ServerDirectoryHost, "directory.example:8080"));
        QVERIFY(f.store.Write(key::MqttPassword, "abc"));
        const Outcome outcome = run(f.store, {"--settings"});
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.err, QString());
        QCOMPARE(outcome.out,
                 QStringLiteral("ServerPort=7000\nServerAutoStart=\nServerDB=\nServerCOM=\n"
                                "ServerCheckDGS=\nServerMinimized=\nServerPing=\n"
                                "ServerPassword=********\n"
                                "ServerDirectoryHost=directory.example:8080\n"
                                "ServerDevice=\nServerModemBaud=\nServerModemInit=\n"
                                "ServerCountryCode=\nServerRouterHost=\nServerRouterPort=\n"
                                "ServerListen=\nServerMaxClients=\nServerMaxPerAddress=\n"
                                "ServerTlsPort=\nServerTlsCert=\nServerTlsKey=\nDesktopNotify=\n"
                                "ServerWebPort=\n"
                                "MqttHost=\nMqttPort=\nMqttUser=\nMqttPassword=********\n"
                                "MqttTls=\nMqttCa=\nMqttTopic=\nMqttDiscovery=\n"
                                "BlockWithheld=\nServerModemHangupMs=\n"));
    }

    // The row name is the assignment; the key holds "old" before, and a refusal keeps it.
    void setRules_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("refusal");
        const auto row = [](const char *assignment, const char *key, const char *stored,
                            const QString &refusal = QString()) {
            QTest::newRow(assignment) << QString(key) << QString(stored) << refusal;
        };
        row("ServerPing=45", "ServerPing", "45");
        row("ServerDB=/srv/a=b.db", "ServerDB", "/srv/a=b.db");
        row("ServerCOM=/dev/ttyUSB0", "ServerCOM", "/dev/ttyUSB0");
        row("ServerAutoStart=True", "ServerAutoStart", "True");
        row("ServerCheckDGS=true", "ServerCheckDGS", "old",
            "ServerCheckDGS takes True or False; got \"true\".");
        row("ServerPassword=12345678", "ServerPassword", "old",
            "Your password must be more than 8 characters long.");
        row("ServerPassword=123456789", "ServerPassword", "123456789");
        row("ServerPassword=pässwörd-ÿ", "ServerPassword", "pässwörd-ÿ");
        row("ServerPassword=password-€uro", "ServerPassword", "old",
            "Your password may hold only Latin-1 (ISO 8859-1) characters: clients send it in "
            "that character set.");
        row("ServerPassword=", "ServerPassword", "");
        row("ServerDevice=Modem", "ServerDevice", "Modem");
        row("ServerDevice=modem", "ServerDevice", "old",
            "ServerDevice takes Box, Modem or Router; got \"modem\".");
        row("ServerRouterHost=192.168.178.1", "ServerRouterHost", "192.168.178.1");
        row("ServerRouterHost=router.home.", "ServerRouterHost", "router.home.");
        row("ServerRouterHost=router home", "ServerRouterHost", "old",
            "ServerRouterHost takes an address or a host name; got \"router home\".");
        row("ServerWebPort=0", "ServerWebPort", "0");
        row("ServerWebPort=65536", "ServerWebPort", "old",
            "ServerWebPort takes a port number between 1 and 65535, or 0 or nothing for off; "
            "got \"65536\".");
        row("ServerModemBaud=57600", "ServerModemBaud", "57600");
        row("ServerModemBaud=fast", "ServerModemBaud", "old",
            "ServerModemBaud takes a speed in bit/s such as 115200; got \"fast\".");
        row("ServerModemInit=ATS0=0;AT+FCLASS=8", "ServerModemInit", "ATS0=0;AT+FCLASS=8");
        row("ServerModemHangupMs=20000", "ServerModemHangupMs", "old",
            "ServerModemHangupMs takes a whole number from 0 to 10000; got \"20000\".");
        row("ServerCountryCode=358", "ServerCountryCode", "358");
        row("ServerCountryCode=+45", "ServerCountryCode", "old",
            "ServerCountryCode takes a country calling code of 1 to 3 digits such as 45; got "
            "\"+45\".");
        row("ServerCountryCode=4545", "ServerCountryCode", "old",
            "ServerCountryCode takes a country calling code of 1 to 3 digits such as 45; got "
            "\"4545\".");
        row("serverping=45", "ServerPing", "old",
            "Unknown setting \"serverping\". The settings are: ServerPort, ServerAutoStart, "
            "ServerDB, ServerCOM, ServerCheckDGS, ServerMinimized, ServerPing, ServerPassword, "
            "ServerDirectoryHost, ServerDevice, ServerModemBaud, ServerModemInit, "
            "ServerCountryCode, ServerRouterHost, ServerRouterPort, ServerListen, "
            "ServerMaxClients, ServerMaxPerAddress, "
            "ServerTlsPort, ServerTlsCert, ServerTlsKey, DesktopNotify, ServerWebPort, MqttHost, "
            "MqttPort, MqttUser, MqttPassword, MqttTls, MqttCa, MqttTopic, MqttDiscovery, "
            "BlockWithheld, ServerModemHangupMs.");
        row("ServerListen=::1", "ServerListen", "::1");
        row("ServerListen=localhost", "ServerListen", "old",
            "ServerListen takes an IPv4 or IPv6 address, or nothing for every address; got "
            "\"localhost\".");
        row("ServerMaxPerAddress=0", "ServerMaxPerAddress", "0");
        row("ServerMaxPerAddress=-1", "ServerMaxPerAddress", "old",
            "ServerMaxPerAddress takes a whole number; got \"-1\".");
        row("ServerTlsPort=", "ServerTlsPort", "");
        row("ServerTlsPort=70000", "ServerTlsPort", "old",
            "ServerTlsPort takes a port number between 1 and 65535, or nothing; got \"70000\".");
        row("ServerPort=70000", "ServerPort", "old",
            "ServerPort takes a port number between 1 and 65535; got \"70000\".");
        row("ServerPort=abc", "ServerPort", "old",
            "ServerPort takes a port number between 1 and 65535; got \"abc\".");
        row("ServerCOM=com9", "ServerCOM", "old",
            "ServerCOM takes COM1 to COM7 or a device path such as /dev/ttyUSB0; got \"com9\".");
        row("ServerPing", "ServerPing", "old",
            "--set needs KEY=VALUE, for example --set ServerPing=60; got \"ServerPing\".");
    }
    void setRules() {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, refusal);
        Fixture f;
        QVERIFY(f.store.Write(key, "old"));
        const Outcome outcome = run(f.store, {"--set", QString::fromUtf8(QTest::currentDataTag())});
        QCOMPARE(outcome.err, refusal.isEmpty() ? QString() : refusal + '\n');
        QCOMPARE(outcome.status, refusal.isEmpty() ? 0 : 2);
        QCOMPARE(outcome.out, QString());
        QCOMPARE(SettingsStore(defaultSettingsPath()).Read(key), stored);
    }

    void oneRefusedAssignmentWritesNone() {
        Fixture f;
        QCOMPARE(run(f.store, {"--set", "ServerPing=60", "--set", "ServerPassword=short"}).status,
                 2);
        QCOMPARE(f.store.Read(key::ServerPing), QString());
        const Outcome outcome = run(f.store, {"--set", "ServerPing=60", "--settings"});
        QCOMPARE(outcome.status, 0);
        QVERIFY(outcome.out.contains("\nServerPing=60\n"));
    }

    void refusedWriteIsStatusOne() {
        Fixture f;
        // A folder where the file should be: the store refuses every write.
        QVERIFY(QDir().mkpath(f.env.filePath("settings-folder")));
        SettingsStore refusing(f.env.filePath("settings-folder"));
        const Outcome outcome = run(refusing, {"--set", "ServerPing=60"});
        QCOMPARE(outcome.status, 1);
        QCOMPARE(outcome.err, "The changes could not be saved. " + refusing.filePath() +
                                  " cannot be read (file to open is a directory).\n");
    }
};

QTEST_APPLESS_MAIN(SettingsCommandTest)
#include "settings_command_test.moc"
