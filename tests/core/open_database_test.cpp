// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>
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

namespace {

int modeOf(const QString &path) {
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

}  // namespace

class OpenDatabaseTest : public QObject {
    Q_OBJECT

private slots:
    // The call log is readable by its owner only, SQLite's -wal and -shm files included;
    // a file or folder that exists keeps the mode its owner gave it.
    void fileModes_data() {
        QTest::addColumn<int>("existingFolderMode");  // 0: none yet
        QTest::addColumn<int>("existingFileMode");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("fileMode");
        QTest::newRow("first start") << 0 << 0 << 0700 << 0600;
        QTest::newRow("folder 0755, no file") << 0755 << 0 << 0755 << 0600;
        QTest::newRow("empty file 0640") << 0750 << 0640 << 0750 << 0640;
    }
    void fileModes() {
        QFETCH(int, existingFolderMode);
        QFETCH(int, existingFileMode);
        QFETCH(int, fileMode);
        test::TempEnvironment env;
        const QString path = env.databasePath();
        const QString folder = QFileInfo(path).path();
        if (existingFolderMode) {
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE(::chmod(QFile::encodeName(folder).constData(), existingFolderMode), 0);
        }
        if (existingFileMode) {
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), existingFileMode), 0);
        }
        ServerSettings settings;
        settings.dbPath = defaultDatabasePath();
        Database db;
        OpenDatabase(db, settings);
        db.exec("INSERT INTO tblContacts (Unrecognized) VALUES('12345678')");

        QTEST(modeOf(folder), "folderMode");
        if (!existingFolderMode)
            QCOMPARE(modeOf(env.dataHome()), 0700);
        for (const QString &file : {path, path + "-wal", path + "-shm"})
            QCOMPARE(modeOf(file), fileMode);
    }

    // A missing configured file: see the headless server test.
    void fatalOpen_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("number");
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
        } else {
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
    }
};

QTEST_APPLESS_MAIN(OpenDatabaseTest)
#include "open_database_test.moc"
