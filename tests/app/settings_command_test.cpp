#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>
#include <QtTest>

#include "app/settings_command.h"
#include "core/paths.h"
#include "core/settings_store.h"
#include "support/temp_environment.h"

using namespace ringwise;

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome run(SettingsStore &store, const QStringList &arguments) {
    QCommandLineParser parser;
    addSettingsOptions(parser);
    if (!parser.parse(QStringList{"ringwise-server"} + arguments))
        qFatal("bad test arguments: %s", qPrintable(parser.errorText()));
    Outcome outcome;
    QTextStream out(&outcome.out);
    QTextStream err(&outcome.err);
    outcome.status = runSettingsCommand(store, parser, out, err);
    return outcome;
}

}  // namespace

class SettingsCommandTest : public QObject {
    Q_OBJECT

private slots:
    void onlyItsOwnOptionsSelectIt_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("selected");
        QTest::newRow("no options") << QStringList{} << false;
        QTest::newRow("--settings") << QStringList{"--settings"} << true;
        QTest::newRow("--set ServerPing=60") << QStringList{"--set", "ServerPing=60"} << true;
    }
    void onlyItsOwnOptionsSelectIt() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, selected);
        QCommandLineParser parser;
        addSettingsOptions(parser);
        QVERIFY(parser.parse(QStringList{"ringwise-server"} + arguments));
        QCOMPARE(isSettingsCommand(parser), selected);
    }

    void listsTheNineKeysWithThePasswordHidden() {
        test::TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        QVERIFY(store.Write(key::ServerPort, "7000"));
        QVERIFY(store.Write(key::ServerPassword, "very-secret"));
        QVERIFY(store.Write(key::ServerCheckDGS, "True"));
        QVERIFY(store.Write(key::ServerDirectoryHost, "directory.example:8080"));
        const Outcome outcome = run(store, {"--settings"});
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.err, QString());
        QCOMPARE(outcome.out, QStringLiteral("ServerPort=7000\n"
                                             "ServerAutoStart=\n"
                                             "ServerDB=\n"
                                             "ServerCOM=\n"
                                             "ServerCheckDGS=True\n"
                                             "ServerMinimized=\n"
                                             "ServerPing=\n"
                                             "ServerPassword=***********\n"
                                             "ServerDirectoryHost=directory.example:8080\n"));
    }

    void setRules_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("refusal");
        // The key holds "old" before; a refused assignment leaves it so, with status 2.
        const auto row = [](const char *assignment, const char *key, const char *stored,
                            const QString &refusal = QString()) {
            QTest::newRow(assignment) << QString(key) << QString(stored) << refusal;
        };
        row("ServerPing=45", "ServerPing", "45");
        row("ServerPort=abc", "ServerPort", "abc");
        row("ServerDB=/srv/a=b.db", "ServerDB", "/srv/a=b.db");
        row("ServerCOM= COM3 ", "ServerCOM", " COM3 ");
        row("ServerAutoStart=True", "ServerAutoStart", "True");
        row("ServerMinimized=False", "ServerMinimized", "False");
        row("ServerCheckDGS=true", "ServerCheckDGS", "old",
            "ServerCheckDGS takes True or False; got \"true\".");
        row("ServerAutoStart=", "ServerAutoStart", "old",
            "ServerAutoStart takes True or False; got \"\".");
        row("ServerPassword=12345678", "ServerPassword", "old",
            "Your password must be more than 8 characters long.");
        row("ServerPassword=123456789", "ServerPassword", "123456789");
        row("ServerPassword=", "ServerPassword", "");
        row("serverping=45", "ServerPing", "old",
            "Unknown setting \"serverping\". The settings are: ServerPort, ServerAutoStart, "
            "ServerDB, ServerCOM, ServerCheckDGS, ServerMinimized, ServerPing, ServerPassword, "
            "ServerDirectoryHost.");
        row("ServerPing", "ServerPing", "old",
            "--set needs KEY=VALUE, for example --set ServerPing=60; got \"ServerPing\".");
    }
    void setRules() {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, refusal);
        test::TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        QVERIFY(store.Write(key, "old"));
        const Outcome outcome = run(store, {"--set", QString::fromLatin1(QTest::currentDataTag())});
        QCOMPARE(outcome.err, refusal.isEmpty() ? QString() : refusal + '\n');
        QCOMPARE(outcome.status, refusal.isEmpty() ? 0 : 2);
        QCOMPARE(outcome.out, QString());
        QCOMPARE(SettingsStore(defaultSettingsPath()).Read(key), stored);
    }

    void oneRefusedAssignmentWritesNone() {
        test::TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        const Outcome outcome =
            run(store, {"--set", "ServerPing=60", "--set", "ServerPassword=short"});
        QCOMPARE(outcome.status, 2);
        QCOMPARE(store.Read(key::ServerPing), QString());
    }

    void setThenList() {
        test::TempEnvironment env;
        SettingsStore store(defaultSettingsPath());
        const Outcome outcome = run(store, {"--set", "ServerPing=60", "--settings"});
        QCOMPARE(outcome.status, 0);
        QVERIFY(outcome.out.contains("\nServerPing=60\n"));
    }

    void refusedWriteIsStatusOne() {
        test::TempEnvironment env;
        // A folder where the file should be: the store refuses every write.
        QVERIFY(QDir().mkpath(env.filePath("settings-folder")));
        SettingsStore store(env.filePath("settings-folder"));
        const Outcome outcome = run(store, {"--set", "ServerPing=60"});
        QCOMPARE(outcome.status, 1);
        QCOMPARE(outcome.err, QStringLiteral("The changes could not be saved.\n"));
    }
};

QTEST_APPLESS_MAIN(SettingsCommandTest)
#include "settings_command_test.moc"
