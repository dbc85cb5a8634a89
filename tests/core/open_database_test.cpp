#include <QDir>
#include <QFile>
#include <QtTest>

#include "core/load_settings.h"
#include "core/open_database.h"
#include "core/paths.h"
#include "db/database.h"
#include "db/database_error.h"
#include "support/temp_environment.h"

using namespace ringwise;

class OpenDatabaseTest : public QObject {
    Q_OBJECT

private slots:
    void defaultLocationIsCreatedWithItsFolder() {
        test::TempEnvironment env;
        ServerSettings settings;
        settings.dbPath = defaultDatabasePath();
        Database db;
        OpenDatabase(db, settings);
        QVERIFY(QFile::exists(env.databasePath()));
        QCOMPARE(db.query("SELECT COUNT(*) AS n FROM tblCalls").field("n"), QStringLiteral("0"));
    }

    void fatalOpen_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("number");
        QTest::newRow("missing configured file") << "missing" << 14;
        QTest::newRow("text file") << "text" << 26;
        QTest::newRow("directory") << "directory" << 14;
    }
    void fatalOpen() {
        QFETCH(QString, kind);
        QFETCH(int, number);
        test::TempEnvironment env;
        ServerSettings settings;
        settings.dbPathIsDefault = false;
        settings.dbPath = env.filePath("calls.db");
        if (kind == "text") {
            QFile file(settings.dbPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                "These are not the calls you are looking for.\n"
                "Just a plain text file that is long enough to have a header.\n");
        } else if (kind == "directory") {
            QVERIFY(QDir().mkpath(settings.dbPath));
        }

        Database db;
        try {
            OpenDatabase(db, settings);
            QFAIL("the database opened");
        } catch (const DatabaseError &error) {
            QCOMPARE(error.number(), number);
            const QString text = databaseErrorText(error);
            QVERIFY2(text.startsWith(QStringLiteral("Error Number : %1\r\n").arg(number)),
                     qPrintable(text));
            QVERIFY(text.size() > 20);
        }
        QVERIFY(!db.isOpen());
        if (kind == "missing")
            QVERIFY(!QFile::exists(settings.dbPath));
    }
};

QTEST_APPLESS_MAIN(OpenDatabaseTest)
#include "open_database_test.moc"
