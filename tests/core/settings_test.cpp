// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSettings>
#include <QtTest>

#include "core/load_settings.h"
#include "core/paths.h"
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
    // Writes the file in place, as an editor or a shell redirection does.
    static bool writeInPlace(const QString &path, const QByteArray &bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(bytes) == bytes.size();
    }
    // Puts another file in its place, as QSettings and most editors do.
    static bool replace(const QString &path, const QByteArray &bytes) {
        return writeInPlace(path + ".new", bytes) &&
               ::rename(QFile::encodeName(path + ".new"), QFile::encodeName(path)) == 0;
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
        QCOMPARE(store.Read(key::ServerDirectoryHost), QString());
        const QString awkward = QStringLiteral("a, b;c=d \"e\" ø");
        QVERIFY(store.Write(key::ServerPassword, awkward));
        QCOMPARE(SettingsStore(defaultSettingsPath()).Read(key::ServerPassword), awkward);
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
        row("lower-case com3", "com3", "COM1", com1, com1Shown);
        row("bare digit", "3", "COM1", com1, com1Shown);
        row("COM8", "COM8", "COM1", com1, com1Shown);
        row("COM3 and a line break", "COM3\n", "COM1", com1, com1Shown);
        row("placeholder", "COM%1", "COM1", com1, com1Shown);
        row("usb device", "/dev/ttyUSB0", "/dev/ttyUSB0", "/dev/ttyUSB0", "/dev/ttyUSB0");
        row("by-id path", "/dev/serial/by-id/usb-x", "/dev/serial/by-id/usb-x",
            "/dev/serial/by-id/usb-x", "/dev/serial/by-id/usb-x");
        row("socat link in /tmp", "/tmp/ttyCID", "/tmp/ttyCID", "/tmp/ttyCID", "/tmp/ttyCID");
        row("relative path", "dev/ttyUSB0", "COM1", com1, com1Shown);
        row("bare /dev/", "/dev/", "COM1", com1, com1Shown);
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

    // A ServerWebPort never written is the usual port; written empty or 0, the page is off.
    void webPort_data() {
        QTest::addColumn<bool>("written");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("warned");
        QTest::newRow("never written") << false << "" << 6997 << false;
        QTest::newRow("empty") << true << "" << 0 << false;
        QTest::newRow("0") << true << "0" << 0 << false;
        QTest::newRow("8080") << true << "8080" << 8080 << false;
        QTest::newRow("65536") << true << "65536" << 0 << true;
    }
    void webPort() {
        QFETCH(bool, written);
        QFETCH(QString, stored);
        test::TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        if (written)
            QVERIFY(store.Write(key::ServerWebPort, stored));
        int warnings = 0;
        const ServerSettings settings =
            LoadSettings(store, [&](MessageIcon, const QString &, const QString &) { ++warnings; });
        QFETCH(int, port);
        QFETCH(bool, warned);
        QCOMPARE(int(settings.webPort), port);
        QCOMPARE(warnings > 0, warned);
    }

    void fileIsOwnerOnlyAndStaysSo() {
        test::TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        QVERIFY(store.Write(key::ServerPassword, "secret-password"));
        QCOMPARE(fileMode(env.settingsPath()), 0600u);
        QVERIFY(QFile::setPermissions(env.settingsPath(), QFile::ReadOwner | QFile::WriteOwner |
                                                              QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(store.Write(key::ServerPing, "60"));
        QCOMPARE(fileMode(env.settingsPath()), 0600u);
    }

    // Another program changes the watched file while the store holds ServerPassword and
    // ServerPing: a file that cannot be read, or that looks written only in part, leaves
    // both as they were until a file that can be read comes.
    void watchedFile_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("ping");
        QTest::addColumn<QString>("reason");  // why it cannot be read; empty: it can
        const auto row = [](const char *name, const char *change, const QByteArray &bytes,
                            const char *password, const char *ping, const char *reason) {
            QTest::newRow(name) << change << bytes << password << ping << reason;
        };
        const char *held = "secret-password";
        row("made unreadable", "chmod", {}, held, "45", "Permission denied");
        row("removed", "remove", {}, held, "45", "No such file or directory");
        row("emptied", "in place", {}, held, "45",
            "it looks written only in part: it holds no settings");
        row("written without its password", "in place", "[Settings]\nServerPing=60\n", held, "45",
            "it looks written only in part: it has no ServerPassword line");
        row("a line that cannot be read", "in place", "[Settings\nServerPassword=other-password\n",
            held, "45", "it holds a line that cannot be read");
        row("password turned off", "replace", "[Settings]\nServerPassword=\nServerPing=60\n", "",
            "60", "");
        row("replaced", "replace", "[Settings]\nServerPassword=other-password\n", "other-password",
            "", "");
    }
    void watchedFile() {
        QFETCH(QString, change);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        if (change == "chmod" && ::geteuid() == 0)
            QSKIP("Root reads a file of mode 000; the removal row stands for it.");
        test::TempEnvironment env;
        const QString path = env.settingsPath();
        QVERIFY(writeInPlace(path, "[Settings]\nServerPassword=secret-password\nServerPing=45\n"));
        SettingsStore store(defaultSettingsPath());
        QStringList reports;
        int changes = 0;
        store.watch([&](const QString &text) { reports << text; }, [&] { ++changes; });

        if (change == "chmod")
            QVERIFY(QFile::setPermissions(path, {}));
        else if (change == "remove")
            QVERIFY(QFile::remove(path));
        else
            QVERIFY(change == "replace" ? replace(path, bytes) : writeInPlace(path, bytes));
        const QString failed =
            path + " cannot be read (" + reason + "); the settings read before stay in force.";
        QTRY_VERIFY(changes > 0 || !reports.isEmpty());
        QCOMPARE(reports, reason.isEmpty() ? QStringList() : QStringList{failed});
        QTEST(store.Read(key::ServerPassword), "password");
        QTEST(store.Read(key::ServerPing), "ping");
        if (reason.isEmpty())
            return;

        QVERIFY(replace(path, "[Settings]\nServerPassword=third-password\n"));
        QTRY_COMPARE(reports.size(), 2);
        QCOMPARE(reports.last(), path + " can be read again; its settings are in force.");
        QCOMPARE(store.Read(key::ServerPassword), QStringLiteral("third-password"));
        // A file removed meanwhile is written again whole, from the texts held.
        QVERIFY(QFile::remove(path));
        QVERIFY(store.Write(key::ServerPing, "60"));
        QCOMPARE(SettingsStore(defaultSettingsPath()).Read(key::ServerPassword),
                 QStringLiteral("third-password"));
    }

    // No setting holds what the file would not keep (the Latin-1 password rule: --set).
    void refusals_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal");
        const QString notKept =
            " cannot hold a lone surrogate or start with a byte order mark: the settings file "
            "would not read it back.";
        QTest::newRow("NUL in a path") << "ServerDB" << QStringLiteral("/a") + QChar(0) + "b"
                                       << "ServerDB cannot hold a NUL byte.";
        QTest::newRow("byte order mark first")
            << "ServerModemInit" << QChar(QChar::ByteOrderMark) + QStringLiteral("ATZ")
            << "ServerModemInit" + notKept;
        QTest::newRow("lone surrogate")
            << "ServerPassword" << QStringLiteral("password") + QChar(0xd800)
            << "ServerPassword" + notKept;
        const QString topicRule =
            "MqttTopic takes a topic such as ringwise or home/phone, "
            "without + or # and without an empty level; got ";
        QTest::newRow("home/#") << "MqttTopic"
                                << "home/#" << topicRule + "\"home/#\".";
        QTest::newRow("home//phone") << "MqttTopic"
                                     << "home//phone" << topicRule + "\"home//phone\".";
        QTest::newRow("home/phone") << "MqttTopic"
                                    << "home/phone"
                                    << "";
        QTest::newRow("MqttCa a folder")
            << "MqttCa"
            << "/tmp"
            << "MqttCa takes a file that can be read, or nothing; got \"/tmp\".";
        // The broker's password has the broker's rules, not the server's.
        QTest::newRow("short broker password") << "MqttPassword"
                                               << "abc"
                                               << "";
    }
    void refusals() {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QTEST(settingRefusal(*findSetting(key), text), "refusal");
    }

    // Hand-edited files. Start-up writes its defaults into those that read back the same
    // afterwards, so this start reads what later ones will; it leaves the others byte for
    // byte and says why, a file that would not read back as written once.
    void handEditedFile_data() {
        QTest::addColumn<QByteArray>("handEdited");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("database");  // empty: the default
        QTest::addColumn<QString>("failure");   // after the path; empty: the defaults are written
        QTest::addColumn<int>("reports");
        QTest::newRow("a header read as a section of its own")
            << QByteArray("[Settings\\\n]\n[Settings]\nServerCOM=COM3\n") << "COM3"
            << ""
            << "" << 0;
        // Read as the list "/\0" and "": no path holds a NUL byte
        QTest::newRow("a NUL byte and a comma")
            << QByteArray("[Settings]\rServerCOM=/\0,", 24) << "COM1"
            << ""
            << "" << 0;
        // Rewritten as "@String(/a\0), b", which reads as a list of variants
        QTest::newRow("a list with a NUL byte in one part")
            << QByteArray("[Settings]\nServerDB=/a\0,b\n", 26) << "COM1"
            << QStringLiteral("/a") + QChar(0) + QStringLiteral(", b") << "" << 0;
        // QSettings reads the file only in part, and would write back only that part.
        QTest::newRow("a section header cut short")
            << QByteArray("[Settings\\\n\n[Settings\nServerCOM=COM3\n") << "COM3"
            << ""
            << " holds a line that cannot be read; it is left as it is." << 0;
        QTest::newRow("a lone surrogate written as \\xd800")
            << QByteArray("[Settings]\nServerCOM=\\xd800\n") << "COM1"
            << ""
            << " would not read back as written (ServerCOM would change); it is left as it is."
            << 1;
    }
    void handEditedFile() {
        QFETCH(QByteArray, handEdited);
        QFETCH(QString, database);
        QFETCH(QString, failure);
        test::TempEnvironment env;
        QVERIFY(writeInPlace(env.settingsPath(), handEdited));
        SettingsStore store(defaultSettingsPath());
        QStringList reports;
        store.watch([&](const QString &text) { reports << text; }, [] {});
        const ServerSettings first = LoadSettings(store, {});
        QTEST(first.serialPort, "port");
        QCOMPARE(first.dbPath, database.isEmpty() ? defaultDatabasePath() : database);
        QCOMPARE(store.writeFailure(), failure.isEmpty() ? failure : env.settingsPath() + failure);
        QTEST(int(reports.size()), "reports");

        SettingsStore nextStart(defaultSettingsPath());
        const ServerSettings next = LoadSettings(nextStart, {});
        QCOMPARE(next.serialPort, first.serialPort);
        QCOMPARE(next.dbPath, first.dbPath);
        QFile file(env.settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll() == handEdited, !failure.isEmpty());
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "settings_test.moc"
