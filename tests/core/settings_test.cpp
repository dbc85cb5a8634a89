#include <sys/stat.h>

#include <QFile>
#include <QSettings>
#include <QtTest>

#include "core/load_settings.h"
#include "core/paths.h"
#include "core/settings_form.h"
#include "core/settings_store.h"
#include "core/settings_table.h"
#include "support/temp_environment.h"

using namespace ringwise;

class SettingsTest : public QObject {
    Q_OBJECT

    static unsigned fileMode(const QString &path) {
        struct stat info = {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
    }

private slots:
    void emptyStoreWritesExactlyThreeDefaults() {
        test::TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        QStringList warnings;
        const ServerSettings settings = LoadSettings(
            store, [&](MessageIcon, const QString &, const QString &text) { warnings << text; });

        QCOMPARE(settings.serverPort, quint16(6996));
        QCOMPARE(settings.dbPath, env.databasePath());
        QVERIFY(settings.dbPathIsDefault);
        QCOMPARE(settings.serialPort, QStringLiteral("COM1"));
        QVERIFY(warnings.isEmpty());

        QSettings file(env.settingsPath(), QSettings::IniFormat);
        QCOMPARE(file.allKeys(), (QStringList{"Settings/ServerCheckDGS", "Settings/ServerMinimized",
                                              "Settings/ServerPing"}));
        QCOMPARE(file.value("Settings/ServerCheckDGS").toString(), QStringLiteral("True"));
        QCOMPARE(file.value("Settings/ServerMinimized").toString(), QStringLiteral("False"));
        QCOMPARE(file.value("Settings/ServerPing").toString(), QStringLiteral("120"));
    }

    void storedValuesAreKeptAndMissingKeysReadEmpty() {
        test::TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        QVERIFY(store.Write(key::ServerCheckDGS, "False"));
        QVERIFY(store.Write(key::ServerPing, "45"));
        QVERIFY(store.Write(key::ServerDB, "/srv/calls.db"));
        const ServerSettings settings = LoadSettings(store, {});
        QCOMPARE(settings.dbPath, QStringLiteral("/srv/calls.db"));
        QVERIFY(!settings.dbPathIsDefault);
        QCOMPARE(store.Read(key::ServerCheckDGS), QStringLiteral("False"));
        QCOMPARE(store.Read(key::ServerPing), QStringLiteral("45"));
        QCOMPARE(store.Read(key::ServerPassword), QString());
        QCOMPARE(store.Read(key::ServerDirectoryHost), QString());
    }

    // What a stored ServerCOM opens, and how the messages and the headless output name it.
    void serialPortChoice_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("selected");  // anything stored but not selected is warned of
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *name, const char *stored, const char *selected,
                            const char *device, const char *shown) {
            QTest::newRow(name) << QString(stored) << QString(selected) << QString(device)
                                << QString(shown);
        };
        const char *com1 = "/dev/ttyS0";
        const char *com1Shown = "COM1 (/dev/ttyS0)";
        row("empty", "", "COM1", com1, com1Shown);
        row("COM3", "COM3", "COM3", "/dev/ttyS2", "COM3 (/dev/ttyS2)");
        row("COM7", "COM7", "COM7", "/dev/ttyS6", "COM7 (/dev/ttyS6)");
        row("lower-case com3", "com3", "COM1", com1, com1Shown);
        row("bare digit", "3", "COM1", com1, com1Shown);
        row("COM8", "COM8", "COM1", com1, com1Shown);
        row("COM0", "COM0", "COM1", com1, com1Shown);
        row("COM12", "COM12", "COM1", com1, com1Shown);
        row("COM3 and a line break", "COM3\n", "COM1", com1, com1Shown);
        row("placeholder", "COM%1", "COM1", com1, com1Shown);
        row("usb device", "/dev/ttyUSB0", "/dev/ttyUSB0", "/dev/ttyUSB0", "/dev/ttyUSB0");
        row("by-id path", "/dev/serial/by-id/usb-x", "/dev/serial/by-id/usb-x",
            "/dev/serial/by-id/usb-x", "/dev/serial/by-id/usb-x");
        row("socat link in /tmp", "/tmp/ttyCID", "/tmp/ttyCID", "/tmp/ttyCID", "/tmp/ttyCID");
        row("link under /run", "/run/ringwise/tty", "/run/ringwise/tty", "/run/ringwise/tty",
            "/run/ringwise/tty");
        row("relative path", "dev/ttyUSB0", "COM1", com1, com1Shown);
        row("bare /dev/", "/dev/", "COM1", com1, com1Shown);
        row("root", "/", "COM1", com1, com1Shown);
        // The system would open the path only as far as the NUL: not the device named.
        QTest::newRow("NUL inside a path")
            << QStringLiteral("/dev/ttyS1") + QChar(0) + u'x' << "COM1" << com1 << com1Shown;
    }
    void serialPortChoice() {
        QFETCH(QString, stored);
        QFETCH(QString, selected);
        test::TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        if (!stored.isEmpty())
            store.Write(key::ServerCOM, stored);
        QStringList warnings;
        const MessageSink messages = [&](MessageIcon, const QString &title, const QString &text) {
            warnings << title + ": " + text;
        };
        QCOMPARE(LoadSettings(store, messages).serialPort, selected);
        QTEST(serialDevicePath(selected), "device");
        QTEST(serialPortText(selected), "shown");
        const bool warned = !stored.isEmpty() && stored != selected;
        QCOMPARE(warnings, warned ? QStringList{"Settings: ServerCOM \"" + stored +
                                                "\" is not a serial port (COM1 to COM7 or a "
                                                "device path); using COM1 instead."}
                                  : QStringList{});
        QCOMPARE(store.Read(key::ServerCOM), stored);
    }

    void serverPort_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("warned");
        QTest::newRow("empty") << "" << 6996 << false;
        QTest::newRow("8000") << "8000" << 8000 << false;
        QTest::newRow("above 16-bit signed") << "40000" << 40000 << false;
        QTest::newRow("65535") << "65535" << 65535 << false;
        QTest::newRow("0") << "0" << 6996 << true;
        QTest::newRow("65536") << "65536" << 6996 << true;
        QTest::newRow("negative") << "-5" << 6996 << true;
        QTest::newRow("letters") << "abc" << 6996 << true;
        QTest::newRow("fraction") << "80.5" << 6996 << true;
        QTest::newRow("placeholder") << "80%1" << 6996 << true;
    }
    void serverPort() {
        QFETCH(QString, stored);
        QFETCH(int, port);
        QFETCH(bool, warned);
        test::TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        if (!stored.isEmpty())
            store.Write(key::ServerPort, stored);
        QStringList warnings;
        const ServerSettings settings = LoadSettings(
            store, [&](MessageIcon, const QString &, const QString &text) { warnings << text; });
        QCOMPARE(int(settings.serverPort), port);
        QCOMPARE(!warnings.isEmpty(), warned);
        if (warned)
            QVERIFY2(warnings.first().contains("\"" + stored + "\" is not a port number"),
                     qPrintable(warnings.first()));
        QCOMPARE(store.Read(key::ServerPort), stored);
    }

    void keysAreWrittenInOrderUntilOneFails_data() {
        QTest::addColumn<int>("failingWrite");
        QTest::addColumn<QStringList>("attempted");
        const QStringList all = {
            "ServerPort=6996",        "ServerDB=/srv/calls.db", "ServerCOM=COM2",
            "ServerPassword=",        "ServerPing=60",          "ServerAutoStart=True",
            "ServerCheckDGS=False",   "ServerMinimized=True",   "ServerDevice=Modem",
            "ServerListen=127.0.0.1", "ServerMaxClients=100",   "ServerMaxPerAddress=0",
            "ServerTlsPort=",         "ServerTlsCert=",         "ServerTlsKey=",
            "DesktopNotify=False"};
        QTest::newRow("none fails") << -1 << all;
        QTest::newRow("ServerPassword fails") << 3 << all.mid(0, 4);
        QTest::newRow("last fails") << 15 << all;
    }
    void keysAreWrittenInOrderUntilOneFails() {
        QFETCH(int, failingWrite);
        QFETCH(QStringList, attempted);
        const SettingsForm form{"6996", true,    false,       "/srv/calls.db", "COM2", "", true,
                                "60",   "Modem", "127.0.0.1", "100",           "0",    "", "",
                                "",     false};
        QStringList writes;
        const bool saved = form.save([&](const QString &key, const QString &text) {
            writes << key + '=' + text;
            return writes.size() - 1 != failingWrite;
        });
        QCOMPARE(saved, failingWrite < 0);
        QCOMPARE(writes, attempted);
    }

    void fileIsOwnerOnlyAndStaysSo() {
        test::TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        QVERIFY(store.Write(key::ServerPassword, "secret-password"));
        QCOMPARE(fileMode(env.settingsPath()), 0600u);
        QVERIFY(store.Write(key::ServerPing, "60"));
        QCOMPARE(fileMode(env.settingsPath()), 0600u);
    }

    // A section header cut short: QSettings reads the file only in part, and writing the
    // defaults would rewrite it as far as it understood it, so that the next start would
    // read another serial port than this one.
    void fileItCannotReadIsLeftAsItIs() {
        test::TempEnvironment env;
        const QByteArray handEdited = "[Settings\\\n\n[Settings\nServerCOM=COM3\n";
        QVERIFY(QDir().mkpath(QFileInfo(env.settingsPath()).absolutePath()));
        QFile file(env.settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(handEdited);
        file.close();

        SettingsStore store(defaultSettingsPath());
        LoadSettings(store, {});
        QVERIFY(!store.Write(key::ServerPing, "60"));

        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), handEdited);
    }

    // Hand-edited files that QSettings rewrites in its own form when the defaults are
    // written: this start already uses what later starts read from the new file.
    void startUsesWhatTheRewrittenFileSays_data() {
        QTest::addColumn<QByteArray>("handEdited");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("database");  // empty: the default
        QTest::newRow("a header read as a section of its own")
            << QByteArray("[Settings\\\n]\n[Settings]\nServerCOM=COM3\n") << "COM3"
            << "";
        // Read as the list "/\0" and "": no path holds a NUL byte
        QTest::newRow("a NUL byte and a comma")
            << QByteArray("[Settings]\rServerCOM=/\0,", 24) << "COM1"
            << "";
        // Rewritten as "@String(/a\0), b", which reads as a list of variants
        QTest::newRow("a list with a NUL byte in one part")
            << QByteArray("[Settings]\nServerDB=/a\0,b\n", 26) << "COM1"
            << QStringLiteral("/a") + QChar(0) + QStringLiteral(", b");
    }

    void startUsesWhatTheRewrittenFileSays() {
        QFETCH(QByteArray, handEdited);
        QFETCH(QString, port);
        QFETCH(QString, database);
        test::TempEnvironment env;
        QVERIFY(QDir().mkpath(QFileInfo(env.settingsPath()).absolutePath()));
        QFile file(env.settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(handEdited);
        file.close();

        ServerSettings first;
        {
            SettingsStore store(defaultSettingsPath());
            first = LoadSettings(store, {});
        }
        QCOMPARE(first.serialPort, port);
        QCOMPARE(first.dbPath, database.isEmpty() ? defaultDatabasePath() : database);
        // QSettings keeps what it has read and written for the whole process; a file time
        // of its own makes it read the file from the disk, as the next start would.
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::fromSecsSinceEpoch(1), QFile::FileModificationTime));
        file.close();
        SettingsStore nextStart(defaultSettingsPath());
        const ServerSettings next = LoadSettings(nextStart, {});
        QCOMPARE(next.serialPort, first.serialPort);
        QCOMPARE(next.dbPath, first.dbPath);
        QCOMPARE(next.serverPort, first.serverPort);
    }

    void valuesSurviveAsWritten() {
        test::TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        const QString awkward = QStringLiteral("a, b;c=d \"e\" ø");
        QVERIFY(store.Write(key::ServerPassword, awkward));
        SettingsStore reopened(defaultSettingsPath());
        QCOMPARE(reopened.Read(key::ServerPassword), awkward);
    }
};

QTEST_APPLESS_MAIN(SettingsTest)
#include "settings_test.moc"
