#include <QtTest>

#include "db/database.h"
#include "db/database_error.h"
#include "intake/call_logger.h"
#include "intake/call_record.h"
#include "support/table_dump.h"
#include "support/temp_environment.h"

using namespace ringwise;

namespace {

const QString kCallTime = QStringLiteral("2024-03-05 14:07:09");

// A logger on a real database file, with the lookup and the broadcast recorded.
struct Logger {
    test::TempEnvironment env;
    Database db;
    CallRecord record;
    bool lookupsOn = true;
    int lookupsAsked = 0;
    QList<CallFields> lookups;
    QStringList sent;
    CallLogger logger{db, record,
                      [this] {
                          ++lookupsAsked;
                          return lookupsOn;
                      },
                      [this](const CallFields &call) { lookups << call; },
                      [this](const QString &text) { sent << text; }};

    // Copying a ready-made file spares each test the schema's writes, and skipping the
    // sync after each statement keeps the suite fast; durability is not under test here.
    explicit Logger(const QString &emptyDatabase) {
        QFile::copy(emptyDatabase, env.filePath("calls.db"));
        db.open(env.filePath("calls.db"), Database::OpenMode::MustExist);
        db.exec("PRAGMA synchronous=OFF");
    }

    // The record as the parser leaves it when "#" arrives.
    void call(const QString &number) {
        record.ResetCallDisplay();
        record.set(CallField::CallType, QStringLiteral("Ingoing"));
        record.set(CallField::Number, number);
        record.set(CallField::CallTime, kCallTime);
        logger.LogCall();
    }
    void ring() {
        record.set(CallField::Rings, QString::number(record.value(CallField::Rings).toInt() + 1));
        logger.RecordRing();
    }
    QString value(const QString &sql, const QVariantList &values = {}) {
        return db.query(sql, values).field("v");
    }
    QString contacts() { return test::dumpTable(db, QStringLiteral("tblContacts")); }
    QString calls() { return test::dumpTable(db, QStringLiteral("tblCalls")); }
};

}  // namespace

class CallLoggerTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_emptyDatabase;

private slots:
    void initTestCase() {
        m_emptyDatabase = m_dir.filePath("empty.db");
        Database db;
        db.open(m_emptyDatabase, Database::OpenMode::CreateIfMissing);
    }

    void knownContact_data() {
        QTest::addColumn<QString>("number");
        QTest::newRow("MobilePhone") << "22222222";
        QTest::newRow("HomePhone") << "11111111";
        QTest::newRow("BusinessPhone") << "33333333";
        QTest::newRow("BusinessFax") << "44444444";
    }
    void knownContact() {
        QFETCH(QString, number);
        Logger l(m_emptyDatabase);
        l.db.exec("INSERT INTO tblContacts (Unrecognized) VALUES('99999999')");
        l.db.exec(
            "INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, BusinessPhone, "
            "BusinessFax, Email, TotalCalls) VALUES('Anna Berg  ', '11111111', '22222222', "
            "'33333333', '44444444', NULL, 4)");

        l.call(number);

        const CallFields &f = l.record.fields();
        QCOMPARE(f[CallField::Name], QStringLiteral(" Anna Berg  "));
        QCOMPARE(f[CallField::HomePhone], QStringLiteral(" 11111111"));
        QCOMPARE(f[CallField::MobilePhone], QStringLiteral(" 22222222"));
        QCOMPARE(f[CallField::WorkPhone], QStringLiteral(" 33333333"));
        QCOMPARE(f[CallField::WorkFax], QStringLiteral(" 44444444"));
        QCOMPARE(f[CallField::Email], QStringLiteral(" "));
        QCOMPARE(f[CallField::ContactId], QStringLiteral("2"));
        QCOMPARE(l.sent, QStringList{"CALL_:," + number +
                                     ",Anna Berg,11111111,22222222,33333333,44444444,"});
        QCOMPARE(l.calls(), QStringLiteral("1|2|'2024-03-05 14:07:09'|0|'%1'").arg(number));
        QCOMPARE(l.value("SELECT TotalCalls AS v FROM tblContacts WHERE ID = 2"), "5");
        QCOMPARE(l.value("SELECT COUNT(*) AS v FROM tblContacts"), "2");
        QCOMPARE(l.lookupsAsked, 0);
        QVERIFY(l.lookups.isEmpty());
    }

    void unknownNumberGetsOneUnrecognizedContact() {
        Logger l(m_emptyDatabase);
        l.call("87654321");
        QCOMPARE(l.contacts(), QStringLiteral("1|NULL|NULL|NULL|NULL|NULL|NULL|1|'87654321'"));
        QCOMPARE(l.record.value(CallField::Name), QStringLiteral(" "));
        QCOMPARE(l.record.value(CallField::Email), QStringLiteral(" "));

        l.call("87654321");
        QCOMPARE(l.contacts(), QStringLiteral("1|NULL|NULL|NULL|NULL|NULL|NULL|2|'87654321'"));
        QCOMPARE(l.calls(), QStringLiteral("1|1|'2024-03-05 14:07:09'|0|'87654321'\n"
                                           "2|1|'2024-03-05 14:07:09'|0|'87654321'"));
        QCOMPARE(l.sent, (QStringList{"CALL_:,87654321,,,,,,", "CALL_:,87654321,,,,,,"}));
        QCOMPARE(l.lookups.size(), 2);
        for (const CallFields &call : l.lookups) {
            QCOMPARE(call[CallField::Number], QStringLiteral("87654321"));
            QCOMPARE(call[CallField::ContactId], QStringLiteral("1"));
        }
    }

    void lookupRule_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("unrecognized");  // the name of an existing row, "-": none
        QTest::addColumn<bool>("lookupsOn");
        QTest::addColumn<bool>("lookedUp");
        QTest::addColumn<QString>("line");

        QTest::newRow("new number") << "12345678"
                                    << "-" << true << true << "CALL_:,12345678,,,,,,";
        QTest::newRow("new number, lookups off")
            << "12345678"
            << "-" << false << false << "CALL_:,12345678,,,,,,";
        QTest::newRow("Secret number") << "Secret number"
                                       << "-" << true << false << "CALL_:,Secret number,,,,,,";
        QTest::newRow("Secret number again") << "Secret number"
                                             << "" << true << false << "CALL_:,Secret number,,,,,,";
        QTest::newRow("empty number") << ""
                                      << "-" << true << true << "CALL_:,,,,,,,";
        QTest::newRow("unrecognised, no name") << "12345678"
                                               << "" << true << true << "CALL_:,12345678,,,,,,";
        QTest::newRow("unrecognised, blank name")
            << "12345678"
            << "   " << true << true << "CALL_:,12345678,,,,,,";
        QTest::newRow("unrecognised, named")
            << "12345678"
            << "Unidentified" << true << false << "CALL_:,12345678,Unidentified,,,,,";
    }
    void lookupRule() {
        QFETCH(QString, number);
        QFETCH(QString, unrecognized);
        QFETCH(bool, lookupsOn);
        QFETCH(bool, lookedUp);
        QFETCH(QString, line);

        Logger l(m_emptyDatabase);
        l.lookupsOn = lookupsOn;
        // Null, not empty, for a nameless row; and a contact holding a null number.
        l.db.exec("INSERT INTO tblContacts (FullName) VALUES('No Numbers')");
        if (unrecognized != "-")
            l.db.exec("INSERT INTO tblContacts (FullName, Unrecognized) VALUES(?, ?)",
                      {unrecognized.isEmpty() ? QVariant() : QVariant(unrecognized), number});

        l.call(number);

        QCOMPARE(l.sent, QStringList{line});
        QCOMPARE(l.lookups.size(), lookedUp ? 1 : 0);
        const QString contactId =
            l.value("SELECT ID AS v FROM tblContacts WHERE Unrecognized = ?", {number});
        QCOMPARE(l.value("SELECT COUNT(*) AS v FROM tblContacts WHERE Unrecognized = ?", {number}),
                 "1");
        QCOMPARE(l.record.value(CallField::ContactId), contactId);
        if (lookedUp) {
            QCOMPARE(l.lookups.first()[CallField::ContactId], contactId);
            QCOMPARE(l.lookups.first()[CallField::Number], number);
        }
    }

    void ringsGoToTheNewestCall() {
        Logger l(m_emptyDatabase);
        // Rows left by an earlier run.
        l.db.exec("INSERT INTO tblCalls (ContactID, CallRings, CallNumber) VALUES(7, 2, 'old')");
        l.db.exec("INSERT INTO tblCalls (ContactID, CallRings, CallNumber) VALUES(7, 5, 'old')");
        l.call("12345678");
        for (const QString rings : {"1", "2", "3"}) {
            l.ring();
            QCOMPARE(l.value("SELECT CallRings AS v FROM tblCalls WHERE ID = 3"), rings);
            QCOMPARE(l.record.value(CallField::CallId), QStringLiteral("3"));
        }
        QCOMPARE(l.value("SELECT group_concat(CallRings) AS v FROM tblCalls WHERE ID < 3"), "2,5");
        QCOMPARE(l.value("SELECT typeof(CallRings) AS v FROM tblCalls WHERE ID = 3"), "integer");
        QCOMPARE(l.sent.size(), 1);
    }

    void ringOnAnEmptyLogFails() {
        Logger l(m_emptyDatabase);
        l.record.set(CallField::Rings, "1");
        QVERIFY_THROWS_EXCEPTION(DatabaseError, l.logger.RecordRing());
        QCOMPARE(l.calls(), QString());
        QCOMPARE(l.record.value(CallField::CallId), QStringLiteral("0"));
    }

    void failingStatementSendsNothing_data() {
        QTest::addColumn<QString>("sabotage");
        QTest::addColumn<QString>("contacts");
        QTest::addColumn<QString>("calls");

        const QString newContact = "1|NULL|NULL|NULL|NULL|NULL|NULL|0|'87654321'";
        const QString storedCall = "1|1|'2024-03-05 14:07:09'|0|'87654321'";
        QTest::newRow("call insert refused") << "CREATE TRIGGER refuse BEFORE INSERT ON tblCalls "
                                                "BEGIN SELECT RAISE(ABORT, 'refused'); END"
                                             << newContact << "";
        QTest::newRow("total update refused")
            << "CREATE TRIGGER refuse BEFORE UPDATE ON tblContacts "
               "BEGIN SELECT RAISE(ABORT, 'refused'); END"
            << newContact << storedCall;
        QTest::newRow("TotalCalls NULL")
            << "INSERT INTO tblContacts (MobilePhone, TotalCalls) VALUES('87654321', NULL)"
            << "1|NULL|NULL|'87654321'|NULL|NULL|NULL|NULL|NULL" << storedCall;
        QTest::newRow("TotalCalls 'many'")
            << "INSERT INTO tblContacts (MobilePhone, TotalCalls) VALUES('87654321', 'many')"
            << "1|NULL|NULL|'87654321'|NULL|NULL|NULL|'many'|NULL" << storedCall;
    }
    void failingStatementSendsNothing() {
        QFETCH(QString, sabotage);
        QFETCH(QString, contacts);
        QFETCH(QString, calls);

        Logger l(m_emptyDatabase);
        l.db.exec(sabotage);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, l.call("87654321"));
        QVERIFY(l.sent.isEmpty());
        QVERIFY(l.lookups.isEmpty());
        QCOMPARE(l.contacts(), contacts);
        QCOMPARE(l.calls(), calls);
    }

    void totalCallsKeptAsText_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("raised");
        QTest::newRow("5") << "5"
                           << "6";
        QTest::newRow("0") << "0"
                           << "1";
        QTest::newRow(" 41 ") << " 41 "
                              << "42";
    }
    void totalCallsKeptAsText() {
        QFETCH(QString, stored);
        QFETCH(QString, raised);

        Logger l(m_emptyDatabase);
        // A book whose totals column holds text, as an imported file may have it.
        l.db.exec("DROP TABLE tblContacts");
        l.db.exec(
            "CREATE TABLE tblContacts (ID INTEGER PRIMARY KEY AUTOINCREMENT, FullName TEXT, "
            "HomePhone TEXT, MobilePhone TEXT, BusinessPhone TEXT, BusinessFax TEXT, Email TEXT, "
            "TotalCalls TEXT, Unrecognized TEXT)");
        l.db.exec("INSERT INTO tblContacts (FullName, MobilePhone, TotalCalls) VALUES(?, ?, ?)",
                  {"Bo", "12345678", stored});

        l.call("12345678");
        QCOMPARE(l.value("SELECT TotalCalls AS v FROM tblContacts"), raised);
        QCOMPARE(l.sent.size(), 1);
    }

    void numberWithQuotes_data() {
        QTest::addColumn<QString>("number");
        QTest::newRow("12'34") << "12'34";
        QTest::newRow("' OR '1'='1") << "' OR '1'='1";
    }
    void numberWithQuotes() {
        QFETCH(QString, number);
        Logger l(m_emptyDatabase);
        l.db.exec("INSERT INTO tblContacts (FullName, MobilePhone) VALUES('Bo', '1')");

        l.call(number);
        l.call(number);

        QCOMPARE(l.sent,
                 (QStringList{"CALL_:," + number + ",,,,,,", "CALL_:," + number + ",,,,,,"}));
        QCOMPARE(
            l.value("SELECT TotalCalls AS v FROM tblContacts WHERE Unrecognized = ?", {number}),
            "2");
        QCOMPARE(
            l.value("SELECT COUNT(*) AS v FROM tblCalls WHERE CallNumber = ? AND ContactID = 2",
                    {number}),
            "2");
        QCOMPARE(l.value("SELECT TotalCalls AS v FROM tblContacts WHERE ID = 1"), "0");
    }
};

QTEST_APPLESS_MAIN(CallLoggerTest)
#include "call_logger_test.moc"
