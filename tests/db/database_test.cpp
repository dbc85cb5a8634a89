// SPDX-License-Identifier: GPL-3.0-or-later
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

#include <QCollator>
#include <QFile>
#include <QLocale>
#include <QtTest>

#include "db/database.h"
#include "db/database_error.h"
#include "db/statement_cache.h"
#include "support/temp_environment.h"

using namespace ringwise;

namespace {

// A new database file in a temporary folder.
struct Scratch {
    test::TempEnvironment env;
    const QString path = env.filePath("calls.db");
    Database db;
    Scratch() { db.open(path, Database::OpenMode::CreateIfMissing); }
};

}  // namespace

class DatabaseTest : public QObject {
    Q_OBJECT

private:
    static QStringList names(Database &db, const QString &type) {
        Query rows = db.query(
            "SELECT name FROM sqlite_master WHERE type = ? AND name NOT LIKE 'sqlite_%' "
            "ORDER BY name",
            {type});
        QStringList result;
        for (; !rows.atEnd(); rows.next())
            result << rows.field("name");
        return result;
    }

    static void checkSchema(Database &db) {
        QCOMPARE(names(db, "table"),
                 (QStringList{"tblBlocked", "tblBlockedCalls", "tblCalls", "tblContacts"}));
        QCOMPARE(names(db, "index").size(), 8);
    }

private slots:
    // The fuzz targets keep their calls in memory: no file, no folder, no log to flush.
    void opensADatabaseInMemory() {
        Database db;
        db.open(":memory:", Database::OpenMode::CreateIfMissing);
        QVERIFY(!db.logFile());
        QCOMPARE(db.exec("INSERT INTO tblCalls (CallNumber) VALUES('1')"), 1);
    }

    // An empty file, and one that lost a table, get the whole schema; a phone index made
    // before over every row is made again over the numbers alone. A total starts at 0, and
    // keys keep growing after the newest row is deleted.
    void schemaIsCompletedAndKeysKeepGrowing() {
        test::TempEnvironment env;
        const QString path = env.filePath("empty.db");
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        Database db;
        db.open(path, Database::OpenMode::MustExist);
        checkSchema(db);
        db.exec("DROP TABLE tblCalls");
        db.exec("DROP INDEX idxContactsHomePhone");
        db.exec("CREATE INDEX idxContactsHomePhone ON tblContacts (HomePhone)");
        db.close();
        db.open(path, Database::OpenMode::MustExist);
        checkSchema(db);
        QCOMPARE(db.query("SELECT sql FROM sqlite_master WHERE name = 'idxContactsHomePhone'")
                     .field("sql"),
                 "CREATE INDEX idxContactsHomePhone ON tblContacts (HomePhone) WHERE HomePhone "
                 "IS NOT NULL");

        db.exec("INSERT INTO tblContacts (Unrecognized) VALUES('12345678')");
        QCOMPARE(db.query("SELECT TotalCalls FROM tblContacts").field("TotalCalls"), "0");
        db.exec("INSERT INTO tblCalls (CallNumber) VALUES('1'), ('2')");
        db.exec("DELETE FROM tblCalls WHERE ID = 2");
        db.exec("INSERT INTO tblCalls (CallNumber) VALUES('3')");
        QCOMPARE(db.lastInsertRowId(), 3);
    }

    // A write waits a moment for another program's lock, then fails instead of holding
    // the event thread; reading goes on beside the lock.
    void anotherProgramsLockFailsAWriteSoon() {
        Scratch s;
        Database &db = s.db;
        QVERIFY(db.query("PRAGMA busy_timeout").field("timeout").toInt() <= 100);
        SQLite::Database other(s.path.toStdString(), SQLite::OPEN_READWRITE);
        other.exec("BEGIN IMMEDIATE");
        try {
            db.exec("INSERT INTO tblCalls (CallNumber) VALUES('1')");
            QFAIL("the write went past the lock");
        } catch (const DatabaseError &error) {
            QCOMPARE(error.number() & 0xff, SQLITE_BUSY);
        }
        QCOMPARE(db.query("SELECT COUNT(*) AS n FROM tblCalls").field("n"), "0");
    }

    void fileRemovedOrReplacedIsNoticed() {
        Scratch s;
        Database &db = s.db;
        const QString &path = s.path;
        QVERIFY(db.isStillAtPath());
        QVERIFY(QFile::rename(path, path + ".old"));
        QVERIFY(!db.isStillAtPath());
        QVERIFY(QFile::copy(path + ".old", path));
        QVERIFY(!db.isStillAtPath());
        db.open(path, Database::OpenMode::MustExist);
        QVERIFY(db.isStillAtPath());
    }

    // Int() is the key the top list must agree with (see the queries test).
    void intRoundsDown() {
        Scratch s;
        auto intOf = [&](const QVariant &value) {
            return s.db.query("SELECT Int(?) AS v", {value}).field("v");
        };
        QCOMPARE(intOf(2.7), QStringLiteral("2.0"));
        QCOMPARE(intOf(-2.5), QStringLiteral("-3.0"));
        QCOMPARE(intOf(7), QStringLiteral("7"));
        QCOMPARE(intOf("12"), QStringLiteral("12.0"));
        QCOMPARE(intOf(" 3.9 "), QStringLiteral("3.0"));
        QCOMPARE(intOf("abc"), QString());
        QCOMPARE(intOf(QVariant()), QString());
    }

    // Plain ASCII names are compared from a table of ranks; every pair, whether the table
    // decides it or ICU does ("aa", combining marks, letters outside ASCII), must come out
    // as ICU's Danish order with case ignored.
    void danishOrderAgreesWithCollator_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        const auto row = [](const char *a, const char *b) {
            QTest::addRow("%s | %s", a, b) << QString::fromUtf8(a) << QString::fromUtf8(b);
        };
        row("Family12, Given3", "Family120, Given3");
        row("Family12, Given3", "family12, given3");
        row("Bo Jensen", "anders And");
        row("a-b", "ab");
        row("a b", "a,b");
        row("10", "9");
        row("Aase", "Abe");
        row("Ba", "Baa");
        row("maA", "mab");
        row("Zoe", "Æble");
        row("e\u0301", "e");
        row("ex", "e\u0301x");
        row("Tor", "Þor");
        row("Dan~", "Dan!");
    }
    void danishOrderAgreesWithCollator() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        Scratch s;
        QCollator collator(QLocale(QLocale::Danish, QLocale::Denmark));
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        const int expected = qBound(-1, collator.compare(a, b), 1);
        const QString sign = s.db.query(
                                     "SELECT CASE WHEN ?1 = ?2 COLLATE Danish THEN 0 "
                                     "WHEN ?1 < ?2 COLLATE Danish THEN -1 ELSE 1 END AS sign",
                                     {a, b})
                                 .field("sign");
        QCOMPARE(sign, QString::number(expected));
    }

    // A search jumps to the next place the text after a "%" can start, in either case.
    void likeFindsEveryStart_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        const auto row = [](const char *pattern, const char *text, bool matches) {
            QTest::addRow("%s in %s", pattern, text)
                << QString::fromUtf8(pattern) << QString::fromUtf8(text) << matches;
        };
        row("%ab%", "aab", true);
        row("%ab%", "aa", false);
        row("%B%", "xxb", true);
        row("%giv%", "Family1, Given2", true);
        row("%12%", "x1x12", true);
        row("%12%", "x1x21", false);
        row("%s_n", "Sørensen", true);
        row("%ø%", "KØGE", true);
        row("%n%n", "Jensen", true);
    }
    void likeFindsEveryStart() {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        Scratch s;
        QCOMPARE(s.db.query("SELECT ?1 LIKE ?2 AS m", {text, pattern}).field("m"),
                 QString::number(matches));
    }

    void resultIsForwardOnly() {
        Scratch s;
        Database &db = s.db;
        Query none = db.query("SELECT * FROM tblContacts");
        QVERIFY(none.atEnd());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, none.field("ID"));

        db.exec("INSERT INTO tblContacts (FullName) VALUES(?)", {"A"});
        Query one = db.query("SELECT * FROM tblContacts");
        QVERIFY(!one.atEnd());
        QCOMPARE(one.field("FullName"), QStringLiteral("A"));
        QCOMPARE(one.field("Email"), QString());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, one.field("NoSuchColumn"));
        one.next();
        QVERIFY(one.atEnd());
    }

    void failingStatementCarriesNumberAndDescription() {
        Scratch s;
        Database &db = s.db;
        try {
            db.exec("INSERT INTO tblNowhere VALUES(1)");
            QFAIL("no error");
        } catch (const DatabaseError &error) {
            QCOMPARE(error.number(), 1);
            QVERIFY(error.description().contains("tblNowhere"));
        }
        db.close();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, db.query("SELECT 1"));

        const QString cut = s.env.filePath("cut");
        try {
            db.open(cut + QChar(0) + ".db", Database::OpenMode::CreateIfMissing);
            QFAIL("a path with a NUL byte opened");
        } catch (const DatabaseError &error) {
            QCOMPARE(error.number(), SQLITE_CANTOPEN);
        }
        QVERIFY(!QFile::exists(cut));
    }

    // Statements are prepared once and reused: each use starts from its first row with no
    // values left from the last, and one left unfinished holds no old view of the file.
    void reusedStatementsStartAfresh() {
        Scratch s;
        Database &db = s.db;
        for (const char *name : {"A", "B", "C"})
            db.exec("INSERT INTO tblContacts (FullName) VALUES(?)", {name});
        const QString all = QStringLiteral("SELECT FullName FROM tblContacts ORDER BY ID");

        QCOMPARE(db.query(all).field("FullName"), QStringLiteral("A"));  // left on its first row
        Database other;
        other.open(s.path, Database::OpenMode::MustExist);
        other.exec("INSERT INTO tblContacts (FullName) VALUES(?)", {"D"});
        QCOMPARE(db.query("SELECT count(*) AS n FROM tblContacts").field("n"), QStringLiteral("4"));

        Query first = db.query(all);
        Query second = db.query(all);
        first.next();
        QCOMPARE(first.field("FullName"), QStringLiteral("B"));
        QCOMPARE(second.field("FullName"), QStringLiteral("A"));

        QCOMPARE(db.query("SELECT ? AS v", {"x"}).field("v"), QStringLiteral("x"));
        QVERIFY(db.query("SELECT ? AS v").isNull("v"));

        const QString insert =
            QStringLiteral("INSERT INTO tblContacts (ID, FullName) VALUES(?, ?)");
        QVERIFY_THROWS_EXCEPTION(DatabaseError, db.exec(insert, {1, "taken"}));
        db.exec(insert, {10, "free"});
        QCOMPARE(db.query("SELECT FullName FROM tblContacts WHERE ID = 10").field("FullName"),
                 QStringLiteral("free"));
    }

    void statementCacheKeepsOnlyFixedTexts() {
        SQLite::Database connection(":memory:");
        auto cache = std::make_shared<StatementCache>(connection);
        for (std::size_t i = 0; i < StatementCache::kMaxPlaces + 10; ++i)
            QVERIFY(cache->take(QStringLiteral("SELECT %1").arg(i)));
        QCOMPARE(cache->placeCount(), StatementCache::kMaxPlaces);
    }
};

QTEST_APPLESS_MAIN(DatabaseTest)
#include "database_test.moc"
