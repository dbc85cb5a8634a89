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
        QCOMPARE(names(db, "table"), (QStringList{"tblCalls", "tblContacts"}));
        QCOMPARE(names(db, "index").size(), 7);
    }

private slots:
    void schemaOnNewFile() {
        test::TempEnvironment env;
        Database db;
        db.open(env.filePath("new.db"), Database::OpenMode::CreateIfMissing);
        checkSchema(db);
        db.exec("INSERT INTO tblContacts (Unrecognized) VALUES(?)", {"12345678"});
        Query row = db.query("SELECT TotalCalls FROM tblContacts");
        QCOMPARE(row.field("TotalCalls"), QStringLiteral("0"));
    }

    void schemaOnEmptyFileAndOnFileWithoutTables() {
        test::TempEnvironment env;
        QFile empty(env.filePath("empty.db"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        Database db;
        db.open(empty.fileName(), Database::OpenMode::MustExist);
        checkSchema(db);

        db.exec("DROP TABLE tblCalls");
        db.close();
        db.open(empty.fileName(), Database::OpenMode::MustExist);
        checkSchema(db);
    }

    void keysKeepGrowingAfterNewestRowIsDeleted() {
        test::TempEnvironment env;
        Database db;
        db.open(env.filePath("keys.db"), Database::OpenMode::CreateIfMissing);
        db.exec("INSERT INTO tblCalls (CallNumber) VALUES(?)", {"1"});
        db.exec("INSERT INTO tblCalls (CallNumber) VALUES(?)", {"2"});
        QCOMPARE(db.lastInsertRowId(), 2);
        db.exec("DELETE FROM tblCalls WHERE ID = ?", {2});
        db.exec("INSERT INTO tblCalls (CallNumber) VALUES(?)", {"3"});
        QCOMPARE(db.lastInsertRowId(), 3);
        Query newest = db.query("SELECT MAX(ID) As CallsID FROM tblCalls");
        QCOMPARE(newest.field("CallsID"), QStringLiteral("3"));
    }

    // A write waits a moment for another program's lock, then fails instead of holding
    // the event thread; reading goes on beside the lock.
    void anotherProgramsLockFailsAWriteSoon() {
        test::TempEnvironment env;
        Database db;
        db.open(env.filePath("locked.db"), Database::OpenMode::CreateIfMissing);
        QVERIFY(db.query("PRAGMA busy_timeout").field("timeout").toInt() <= 100);
        SQLite::Database other(env.filePath("locked.db").toStdString(), SQLite::OPEN_READWRITE);
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
        test::TempEnvironment env;
        const QString path = env.filePath("calls.db");
        Database db;
        db.open(path, Database::OpenMode::CreateIfMissing);
        QVERIFY(db.isStillAtPath());
        QVERIFY(QFile::rename(path, path + ".old"));
        QVERIFY(!db.isStillAtPath());
        QVERIFY(QFile::copy(path + ".old", path));
        QVERIFY(!db.isStillAtPath());
        db.open(path, Database::OpenMode::MustExist);
        QVERIFY(db.isStillAtPath());
    }

    void intRoundsDownAndRanksNumbersAndText() {
        test::TempEnvironment env;
        Database db;
        db.open(env.filePath("int.db"), Database::OpenMode::CreateIfMissing);
        auto intOf = [&](const QVariant &value) {
            return db.query("SELECT Int(?) AS v", {value}).field("v");
        };
        QCOMPARE(intOf(2.7), QStringLiteral("2.0"));
        QCOMPARE(intOf(-2.5), QStringLiteral("-3.0"));
        QCOMPARE(intOf(7), QStringLiteral("7"));
        QCOMPARE(intOf("12"), QStringLiteral("12.0"));
        QCOMPARE(intOf(" 3.9 "), QStringLiteral("3.0"));
        QCOMPARE(intOf("abc"), QString());
        QCOMPARE(intOf(QVariant()), QString());

        // Totals stored as numbers and as text rank by their value, not as text ("9" > "10").
        const QList<QVariant> totals{9, QStringLiteral("10"), 2, QStringLiteral("30")};
        for (const QVariant &total : totals)
            db.exec("INSERT INTO tblContacts (FullName, TotalCalls) VALUES(?, ?)",
                    {total.toString(), total});
        Query ranked = db.query("SELECT * FROM tblContacts ORDER BY Int(TotalCalls) DESC");
        QStringList order;
        for (; !ranked.atEnd(); ranked.next())
            order << ranked.field("FullName");
        QCOMPARE(order, (QStringList{"30", "10", "9", "2"}));
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
        test::TempEnvironment env;
        Database db;
        db.open(env.filePath("order.db"), Database::OpenMode::CreateIfMissing);
        QCollator collator(QLocale(QLocale::Danish, QLocale::Denmark));
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        const int expected = qBound(-1, collator.compare(a, b), 1);
        const QString sign = db.query(
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
        QTest::newRow("%ab% in aab") << "%ab%"
                                     << "aab" << true;
        QTest::newRow("%ab% in aa") << "%ab%"
                                    << "aa" << false;
        QTest::newRow("%B% in xxb") << "%B%"
                                    << "xxb" << true;
        QTest::newRow("%giv% in Family1, Given2") << "%giv%"
                                                  << "Family1, Given2" << true;
        QTest::newRow("%12% in x1x12") << "%12%"
                                       << "x1x12" << true;
        QTest::newRow("%12% in x1x21") << "%12%"
                                       << "x1x21" << false;
        QTest::newRow("%s_n in Sørensen") << "%s_n"
                                          << "Sørensen" << true;
        QTest::newRow("%ø% in KØGE") << "%ø%"
                                     << "KØGE" << true;
        QTest::newRow("%n%n in Jensen") << "%n%n"
                                        << "Jensen" << true;
    }
    void likeFindsEveryStart() {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        test::TempEnvironment env;
        Database db;
        db.open(env.filePath("like.db"), Database::OpenMode::CreateIfMissing);
        QCOMPARE(db.query("SELECT ?1 LIKE ?2 AS m", {text, pattern}).field("m"),
                 QString::number(matches));
    }

    void valuesAreBoundNotJoined() {
        test::TempEnvironment env;
        Database db;
        db.open(env.filePath("quote.db"), Database::OpenMode::CreateIfMissing);
        const QString name = QStringLiteral("O'Brien'); DROP TABLE tblContacts; --");
        db.exec("INSERT INTO tblContacts (FullName) VALUES(?)", {name});
        Query row = db.query("SELECT FullName FROM tblContacts WHERE FullName = ?", {name});
        QVERIFY(!row.atEnd());
        QCOMPARE(row.field("FullName"), name);
        const QString danish = QStringLiteral("Søren Ærø");
        db.exec("UPDATE tblContacts SET FullName = (?) WHERE ID = ?", {danish, 1});
        QCOMPARE(db.query("SELECT FullName FROM tblContacts").field("FullName"), danish);
    }

    void resultIsForwardOnly() {
        test::TempEnvironment env;
        Database db;
        db.open(env.filePath("cursor.db"), Database::OpenMode::CreateIfMissing);
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
        test::TempEnvironment env;
        Database db;
        db.open(env.filePath("fail.db"), Database::OpenMode::CreateIfMissing);
        try {
            db.exec("INSERT INTO tblNowhere VALUES(1)");
            QFAIL("no error");
        } catch (const DatabaseError &error) {
            QCOMPARE(error.number(), 1);
            QVERIFY(error.description().contains("tblNowhere"));
        }
        db.close();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, db.query("SELECT 1"));

        const QString cut = env.filePath("cut");
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
        test::TempEnvironment env;
        const QString path = env.filePath("reuse.db");
        Database db;
        db.open(path, Database::OpenMode::CreateIfMissing);
        for (const char *name : {"A", "B", "C"})
            db.exec("INSERT INTO tblContacts (FullName) VALUES(?)", {name});
        const QString all = QStringLiteral("SELECT FullName FROM tblContacts ORDER BY ID");

        QCOMPARE(db.query(all).field("FullName"), QStringLiteral("A"));  // left on its first row
        Database other;
        other.open(path, Database::OpenMode::MustExist);
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
