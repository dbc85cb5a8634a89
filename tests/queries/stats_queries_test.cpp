#include <QtTest>

#include "db/database.h"
#include "queries/stats_queries.h"
#include "support/temp_environment.h"

using namespace ringwise;

namespace {

// Rows of the fixed data set below, as the clients receive them.
const QString kCall6 = QStringLiteral(",  , 2024-03-01 13:00:00 , 33333333 ");
const QString kCall5 = QStringLiteral(", Carl #1 Dahl , 2024-03-01 12:00:00 , Secret number ");
const QString kCall4 = QStringLiteral(", Hansen Ann , 2024-03-01 11:00:00 , 22222222 ");
const QString kCall3 = QStringLiteral(", Bo Berg , 2024-03-01 10:00:00 , 44444444 ");
const QString kCall2 = QStringLiteral(",  , 2024-03-01 09:00:00 , 33333333 ");
const QString kCall1 = QStringLiteral(", Hansen Ann , 2024-03-01 08:00:00 , 11111111 ");
const QString kContact1 =
    QStringLiteral(", 1 , Hansen Ann , 11111111 , 22222222 ,  ,  , ann@x.dk , 3 ,  ");
const QString kContact2 = QStringLiteral(", 2 ,  , 33333333 ,  ,  ,  ,  , 2 , 33333333 ");
const QString kContact3 = QStringLiteral(", 3 , Bo Berg , 44444444 ,  ,  ,  ,  , 10 ,  ");
const QString kContact4 = QStringLiteral(", 4 , Carl #1 Dahl ,  ,  ,  ,  ,  , 1 , Secret number ");
const QString kContact5 = QStringLiteral(", 5 , Aage Ager ,  ,  ,  ,  ,  , 0 ,  ");

// The statistics statements whose plans must not degrade into a sort of the whole log.
const char *const kCallViews[] = {
    "SELECT a.*, b.* FROM tblCalls A, tblContacts B WHERE a.ContactID = b.ID ORDER BY a.ID DESC",
    "SELECT a.*, b.* FROM tblCalls A, tblContacts B Where a.ContactID = b.ID AND "
    "b.Unrecognized <> '' ORDER BY a.ID DESC ",
};

}  // namespace

class StatsQueriesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempEnvironment> m_env;
    std::unique_ptr<Database> m_db;
    QStringList m_sent;
    int m_copies = 0;

    // Each test works on its own copy of a prepared file, which spares it the schema's
    // creation and the data's inserts.
    void openCopyOf(const QString &seed) {
        const QString path = m_env->filePath(QString::number(++m_copies) + seed);
        QVERIFY(QFile::copy(m_env->filePath(seed), path));
        m_db = std::make_unique<Database>();
        m_db->open(path, Database::OpenMode::MustExist);
    }

    StatsQueries queries() {
        return StatsQueries(*m_db, [this](const QString &text) { m_sent << text; });
    }

    void addContact(const QVariantList &values) {
        m_db->exec(
            "INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, BusinessPhone, "
            "BusinessFax, Email, TotalCalls, Unrecognized) VALUES(?, ?, ?, ?, ?, ?, ?, ?)",
            values);
    }

    void addCall(int contact, const QString &time, const QString &number) {
        m_db->exec("INSERT INTO tblCalls (ContactID, CallTime, CallNumber) VALUES(?, ?, ?)",
                   {contact, time, number});
    }

    // A named contact with a comma in its name, an unnamed unrecognised caller, contacts
    // whose Unrecognized is empty, missing and "Secret number", and calls of each.
    void addFixedDataSet() {
        const QVariant null;
        m_db->exec("BEGIN");
        addContact({"Hansen, Ann", "11111111", "22222222", null, null, "ann@x.dk", 3, null});
        addContact({null, "33333333", null, null, null, null, 2, "33333333"});
        addContact({"Bo Berg", "44444444", null, null, null, null, 10, ""});
        addContact({"Carl #1 Dahl", null, null, null, null, null, 1, "Secret number"});
        addContact({"Aage Ager", null, null, null, null, null, 0, null});
        addCall(1, "2024-03-01 08:00:00", "11111111");
        addCall(2, "2024-03-01 09:00:00", "33333333");
        addCall(3, "2024-03-01 10:00:00", "44444444");
        addCall(1, "2024-03-01 11:00:00", "22222222");
        addCall(4, "2024-03-01 12:00:00", "Secret number");
        addCall(2, "2024-03-01 13:00:00", "33333333");
        m_db->exec("COMMIT");
    }

private slots:
    void initTestCase() {
        m_env = std::make_unique<test::TempEnvironment>();
        Database().open(m_env->filePath("empty.db"), Database::OpenMode::CreateIfMissing);
        m_db = std::make_unique<Database>();
        m_db->open(m_env->filePath("fixed.db"), Database::OpenMode::CreateIfMissing);
        addFixedDataSet();
        m_db.reset();
    }

    void init() {
        m_sent.clear();
        openCopyOf("empty.db");
    }

    void cleanupTestCase() {
        m_db.reset();
        m_env.reset();
    }

    void answersOfEachView_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("rows");

        QTest::newRow("STATS:LAST;10")
            << "STATS:LAST;10" << kCall6 + kCall5 + kCall4 + kCall3 + kCall2 + kCall1;
        QTest::newRow("STATS:LAST;3") << "STATS:LAST;3" << kCall6 + kCall5 + kCall4;
        QTest::newRow("STATS:UNKN;10") << "STATS:UNKN;10" << kCall6 + kCall5 + kCall2;
        QTest::newRow("STATS:TOPS;10")
            << "STATS:TOPS;10" << kContact3 + kContact1 + kContact2 + kContact4 + kContact5;
        QTest::newRow("STATS:TOPS;2") << "STATS:TOPS;2" << kContact3 + kContact1;
        QTest::newRow("STATS:TOPS;32767")
            << "STATS:TOPS;32767" << kContact3 + kContact1 + kContact2 + kContact4 + kContact5;
        QTest::newRow("STATS:CNTS;00")
            << kFakeOutgoingRequest << kContact5 + kContact1 + kContact3 + kContact2 + kContact4;
        QTest::newRow("STATS:CNTS;any;text")
            << "STATS:CNTS;any;text" << kContact5 + kContact1 + kContact3 + kContact2 + kContact4;
        QTest::newRow("STATS:LAST;0") << "STATS:LAST;0" << QString();
        QTest::newRow("STATS:LAST;-3") << "STATS:LAST;-3" << QString();
        QTest::newRow("STATS:TOPS;-32768") << "STATS:TOPS;-32768" << QString();
    }

    void answersOfEachView() {
        QFETCH(QString, request);
        QFETCH(QString, rows);
        openCopyOf("fixed.db");
        queries().HandleStatsRequest(request);
        QCOMPARE(m_sent, QStringList{request + "#" + rows});
    }

    void emptyResultIsRequestAndHash_data() {
        QTest::addColumn<QString>("request");
        QTest::newRow("STATS:LAST;5") << "STATS:LAST;5";
        QTest::newRow("STATS:CNTS;00") << "STATS:CNTS;00";
    }

    void emptyResultIsRequestAndHash() {
        QFETCH(QString, request);
        queries().HandleStatsRequest(request);
        QCOMPARE(m_sent, QStringList{request + "#"});
    }

    void limitTakesTheNewestCalls_data() {
        QTest::addColumn<int>("logged");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("5 of 2") << 2 << 5 << QStringList{"2", "1"};
        QTest::newRow("5 of 20") << 20 << 5 << QStringList{"20", "19", "18", "17", "16"};
        QTest::newRow("1 of 20") << 20 << 1 << QStringList{"20"};
    }

    void limitTakesTheNewestCalls() {
        QFETCH(int, logged);
        QFETCH(int, limit);
        QFETCH(QStringList, numbers);
        const QVariant null;
        m_db->exec("BEGIN");
        addContact({"Ann", null, null, null, null, null, logged, null});
        for (int i = 1; i <= logged; ++i)
            addCall(1, "2024-03-01 08:00:00", QString::number(i));
        m_db->exec("COMMIT");
        queries().HandleStatsRequest(QStringLiteral("STATS:LAST;%1").arg(limit));
        QCOMPARE(m_sent.size(), 1);
        const QStringList fields = m_sent[0].section('#', 1).split(", ", Qt::SkipEmptyParts);
        QCOMPARE(fields.size(), std::min(limit, logged) * 3);
        for (int i = 0; i < numbers.size(); ++i)
            QCOMPARE(fields[i * 3 + 2], numbers[i] + " ");
    }

    void malformedRequestGetsNoAnswer_data() {
        QTest::addColumn<QString>("request");
        QTest::newRow("STATS:LAST") << "STATS:LAST";
        QTest::newRow("STATS:CNTS") << "STATS:CNTS";
        QTest::newRow("STATS:LAST;") << "STATS:LAST;";
        QTest::newRow("STATS:LAST;abc") << "STATS:LAST;abc";
        QTest::newRow("STATS:LAST;5x") << "STATS:LAST;5x";
        QTest::newRow("STATS:LAST;2.5") << "STATS:LAST;2.5";
        QTest::newRow("STATS:TOPS;32768") << "STATS:TOPS;32768";
        QTest::newRow("STATS:UNKN;-32769") << "STATS:UNKN;-32769";
        QTest::newRow("STATS:LAST;5;x") << "STATS:LAST;5;x";
    }

    void malformedRequestGetsNoAnswer() {
        QFETCH(QString, request);
        openCopyOf("fixed.db");
        queries().HandleStatsRequest(request);
        QCOMPARE(m_sent, QStringList{});
    }

    void unknownSubCommandIsEchoed_data() {
        QTest::addColumn<QString>("request");
        QTest::newRow("STATS:last;5") << "STATS:last;5";
        QTest::newRow("STATS:Tops;abc") << "STATS:Tops;abc";
        QTest::newRow("STATS:;5") << "STATS:;5";
        QTest::newRow("STATS:LASTX;5#") << "STATS:LASTX;5#";
    }

    void unknownSubCommandIsEchoed() {
        QFETCH(QString, request);
        openCopyOf("fixed.db");
        queries().HandleStatsRequest(request);
        QCOMPARE(m_sent, QStringList{request});
    }

    void failingDatabaseSendsNothing() {
        openCopyOf("fixed.db");
        m_db->close();
        StatsQueries stats = queries();
        stats.HandleStatsRequest("STATS:LAST;5");
        stats.HandleStatsRequest(kFakeOutgoingRequest);
        QCOMPARE(m_sent, QStringList{});
        stats.HandleStatsRequest("STATS:last;5");
        QCOMPARE(m_sent, QStringList{"STATS:last;5"});
    }

    // "LAST" and "UNKN" with a small limit must cost the same in a log of millions of calls:
    // the log is walked backwards by its key and each contact found by its key, no sort.
    void callViewsWalkTheLogByItsKey() {
        for (const char *statement : kCallViews) {
            Query plan = m_db->query(QStringLiteral("EXPLAIN QUERY PLAN ") + statement);
            QStringList steps;
            for (; !plan.atEnd(); plan.next())
                steps << plan.field("detail");
            QCOMPARE(steps,
                     (QStringList{"SCAN A", "SEARCH B USING INTEGER PRIMARY KEY (rowid=?)"}));
        }
    }
};

QTEST_APPLESS_MAIN(StatsQueriesTest)
#include "stats_queries_test.moc"
