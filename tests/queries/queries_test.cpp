// SPDX-License-Identifier: GPL-3.0-or-later
#include <SQLiteCpp/Database.h>
#include <QtTest>

#include "call/call_record.h"
#include "db/database.h"
#include "queries/block_list.h"
#include "queries/block_requests.h"
#include "queries/contact_requests.h"
#include "queries/stats_queries.h"
#include "support/table_dump.h"
#include "support/temp_environment.h"

using namespace ringwise;

namespace {

// The rows of the fixed data set below as the statistics answers carry them, by key.
const QString kCalls[] = {{},
                          ", Hansen Ann , 08:00 , 11111111 ",
                          ",  , 09:00 , 33333333 ",
                          ", O'Brien , 10:00 , 44556677 ",
                          ", Hansen Ann , 11:00 , 22222222 ",
                          ",  , 12:00 , Secret number ",
                          ",  , 13:00 , 33333333 "};
const QString kContacts[] = {{},
                             ", 1 , Hansen Ann , 11111111 , 22222222 ,  ,  , ann@x.dk , 3 ,  ",
                             ", 2 ,  , 33333333 ,  ,  ,  ,  , 2 , 33333333 ",
                             ", 3 , Bo Hansen , 44444444 ,  , 55512345 ,  ,  , 10 ,  ",
                             ", 4 ,  ,  ,  ,  ,  ,  , 1 , Secret number ",
                             ", 5 , O'Brien ,  ,  ,  , 44556677 , ob@x.ie , 0 ,  "};

// The contact table and indexes as the release before the Danish order created them.
const char kOldSchema[] = R"sql(
CREATE TABLE tblContacts (ID INTEGER PRIMARY KEY AUTOINCREMENT, FullName TEXT, HomePhone TEXT,
    MobilePhone TEXT, BusinessPhone TEXT, BusinessFax TEXT, Email TEXT,
    TotalCalls INTEGER DEFAULT 0, Unrecognized TEXT);
CREATE TABLE tblCalls (ID INTEGER PRIMARY KEY AUTOINCREMENT, ContactID INTEGER, CallTime TEXT,
    CallRings INTEGER DEFAULT 0, CallNumber TEXT);
CREATE INDEX idxContactsHomePhone ON tblContacts (HomePhone);
CREATE INDEX idxContactsMobilePhone ON tblContacts (MobilePhone);
CREATE INDEX idxContactsBusinessPhone ON tblContacts (BusinessPhone);
CREATE INDEX idxContactsBusinessFax ON tblContacts (BusinessFax);
CREATE INDEX idxContactsUnrecognized ON tblContacts (Unrecognized);
CREATE INDEX idxCallsContactID ON tblCalls (ContactID);
)sql";

// Keys and texts a hostile client sends where a key or a number belongs.
const char *const kInjections[] = {"new", "1 OR 1=1", "5; DROP TABLE tblContacts", "1' OR '1'='1",
                                   "-1",  "+1",       "99999999999999999999",      ""};

const QDateTime kNow(QDate(2026, 12, 7), QTime(12, 0));
const char kNoteProblem[] =
    "BLOCK:ERRO;A note cannot hold a comma, a colon, a semicolon or a control character";
const char kNotAnEntry[] = "BLOCK:ERRO;An entry is a number, or a prefix ending in *";

// A contact with only a name, as the contact list carries it.
QString namedRow(int key, const QString &name, const QString &total = QStringLiteral("0")) {
    return QStringLiteral(", %1 , %2 ,  ,  ,  ,  ,  , %3 ,  ").arg(key).arg(name, total);
}

QString rows(const QString *table, std::initializer_list<int> keys) {
    QString text;
    for (const int key : keys)
        text += table[key];
    return text;
}

}  // namespace

class QueriesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempEnvironment> m_env;
    std::unique_ptr<Database> m_db;
    QStringList m_sent;  // the answers, in order
    int m_copies = 0;

    void stats(const QString &request) {
        if (const std::optional<QString> answer = StatsQueries(*m_db).HandleStatsRequest(request))
            m_sent << *answer;
    }
    void contact(const QString &request) {
        if (const std::optional<QString> answer =
                ContactRequests(*m_db).HandleContactRequest(request))
            m_sent << *answer;
    }
    // A fresh book holding only these names, keys 1, 2, ... in the order given.
    void useNames(const QStringList &names) {
        m_db->exec("DELETE FROM tblCalls");
        m_db->exec("DELETE FROM tblContacts");
        m_db->exec("DELETE FROM sqlite_sequence");
        for (const QString &name : names)
            m_db->exec("INSERT INTO tblContacts (FullName) VALUES(?)", {name});
    }
    // The answers to the requests on a block list that holds 33333333 and blocks withheld
    // numbers.
    QStringList block(const QStringList &requests) {
        BlockList list(
            *m_db, [] { return kNow; },
            BlockListSettings{[] { return QStringLiteral("45"); }, [] { return true; }});
        list.add("33333333", "seed");
        BlockRequests handler(list);
        QStringList answers;
        for (const QString &request : requests)
            answers << handler.HandleBlockRequest(request).value_or("none");
        return answers;
    }
    QString dumpBoth() {
        return test::dumpTable(*m_db, "tblContacts") + "\n--\n" +
               test::dumpTable(*m_db, "tblCalls");
    }

private slots:
    // A name with a comma, an unnamed caller, a contact without any searched value, an
    // apostrophe, Unrecognized missing, empty, a number and "Secret number", calls of each;
    // name order differs from key order. Each test works on its own copy of the file.
    void initTestCase() {
        m_env = std::make_unique<test::TempEnvironment>();
        Database seed;
        seed.open(m_env->filePath("seed.db"), Database::OpenMode::CreateIfMissing);
        const QVariant null;
        const QList<QVariantList> contacts{
            {"Hansen, Ann", "11111111", "22222222", null, null, "ann@x.dk", 3, null},
            {null, "33333333", null, null, null, null, 2, "33333333"},
            {"Bo Hansen", "44444444", null, "55512345", null, "", 10, null},
            {null, null, null, null, null, null, 1, "Secret number"},
            {"O'Brien", null, null, null, "44556677", "ob@x.ie", 0, ""}};
        const QList<QVariantList> calls{{1, "08:00", "11111111"},      {2, "09:00", "33333333"},
                                        {5, "10:00", "44556677"},      {1, "11:00", "22222222"},
                                        {4, "12:00", "Secret number"}, {2, "13:00", "33333333"}};
        seed.exec("BEGIN");
        for (const QVariantList &values : contacts)
            seed.exec(
                "INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, BusinessPhone, "
                "BusinessFax, Email, TotalCalls, Unrecognized) VALUES(?, ?, ?, ?, ?, ?, ?, ?)",
                values);
        for (const QVariantList &values : calls)
            seed.exec("INSERT INTO tblCalls (ContactID, CallTime, CallNumber) VALUES(?, ?, ?)",
                      values);
        seed.exec("COMMIT");
    }

    void init() {
        m_sent.clear();
        const QString path = m_env->filePath(QStringLiteral("%1.db").arg(++m_copies));
        QVERIFY(QFile::copy(m_env->filePath("seed.db"), path));
        m_db = std::make_unique<Database>();
        m_db->open(path, Database::OpenMode::MustExist);
    }

    void cleanupTestCase() {
        m_db.reset();
        m_env.reset();
    }

    // Also the parse of each request: a limit read wrongly changes the rows, an unknown view
    // is echoed and a malformed request gets no answer.
    void statsAnswers_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QStringList>("sent");
        const auto answered = [](const char *request, const QString &rows) {
            QTest::newRow(request) << QString(request) << QStringList{request + ("#" + rows)};
        };
        answered("STATS:LAST;10", rows(kCalls, {6, 5, 4, 3, 2, 1}));
        answered("STATS:LAST;3", rows(kCalls, {6, 5, 4}));
        answered("STATS:UNKN;5", rows(kCalls, {6, 5, 2}));
        answered("STATS:UNKN;2", rows(kCalls, {6, 5}));
        answered("STATS:TOPS;10", rows(kContacts, {3, 1, 2, 4, 5}));
        answered("STATS:TOPS;2", rows(kContacts, {3, 1}));
        answered("STATS:TOPS;32767", rows(kContacts, {3, 1, 2, 4, 5}));
        answered(kFakeOutgoingRequest, rows(kContacts, {3, 1, 5, 2, 4}));
        answered("STATS:CNTS;any;text", rows(kContacts, {3, 1, 5, 2, 4}));
        answered("STATS:LAST;0", "");
        answered("STATS:LAST;-3", "");
        answered("STATS:TOPS;-32768", "");
        answered("STATS:LAST; 5", rows(kCalls, {6, 5, 4, 3, 2}));
        answered("STATS:CNTS;", rows(kContacts, {3, 1, 5, 2, 4}));
        for (const char *unknown : {"STATS:last;5", "STATS:Tops;abc", "STATS:;5", "STATS:LASTX;5#"})
            QTest::newRow(unknown) << QString(unknown) << QStringList{unknown};
        for (const char *malformed : {"STATS:LAST", "STATS:CNTS", "STATS:LAST;", "STATS:LAST;abc",
                                      "STATS:LAST;5x", "STATS:LAST;2.5", "STATS:TOPS;32768",
                                      "STATS:UNKN;-32769", "STATS:LAST;5;x", "STATS;LAST:5", ""})
            QTest::newRow(malformed) << QString(malformed) << QStringList();
    }
    void statsAnswers() {
        QFETCH(QString, request);
        stats(request);
        QTEST(m_sent, "sent");
    }

    // A save changes at most the one line of the contact table its row names (key 0: none);
    // every other line, and the call log, stay as they were. Each row is also the parse of
    // its request: a value read into the wrong column changes the line.
    void save_data() {
        QTest::addColumn<QString>("values");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("line");
        const auto row = [](const QString &values, const QString &answer, int key = 0,
                            const char *line = "", const char *name = nullptr) {
            QTest::newRow(name ? name : qPrintable(values))
                << values << answer << key << QString(line);
        };
        const QString added = "SAVE;New record saved succesfully.";
        const QString modified = "SAVE;Record modified succesfully.";
        row("NEW,Ann,1,2,a@b,3,4", added, 6, "6|'Ann'|'1'|'2'|'3'|'4'|'a@b'|0|NULL");
        row("NEW,O'Brien; DROP TABLE tblCalls; --,1,2,e,3,4", added, 6,
            "6|'O''Brien; DROP TABLE tblCalls; --'|'1'|'2'|'3'|'4'|'e'|0|NULL");
        // A comma in a value moves the rest along; values past the sixth are not read.
        row("NEW,Hansen, Ann,1,2,a@b,3,4", added, 6, "6|'Hansen'|' Ann'|'1'|'a@b'|'3'|'2'|0|NULL");
        row("NEW,Ann,1,2,a@b,3,4,5,6", added, 6, "6|'Ann'|'1'|'2'|'3'|'4'|'a@b'|0|NULL");
        row("NEW,,,,,,", added, 6, "6|''|''|''|''|''|''|0|NULL");
        row("2,Eva Eg,7,8,e@f,9,10", modified, 2, "2|'Eva Eg'|'7'|'8'|'9'|'10'|'e@f'|2|'33333333'");
        row("005,A,1,2,e,3,4", modified, 5, "5|'A'|'1'|'2'|'3'|'4'|'e'|0|''");
        for (const char *id : kInjections)
            row(QStringLiteral("%1,A,1,2,e,3,4").arg(id),
                QStringLiteral("ERRO;The contact ID is not a whole number: ") + id);
        row("999,Ann,1,2,a@b,3,4", "ERRO;No contact has the ID 999");
        const QString count = "ERRO;A contact is saved with an ID and six values, %1 were sent";
        row("NEW,Ann,1,2,a@b,3", count.arg(5));
        row("", count.arg(0), 0, "", "nothing");
        const QString nul = "ERRO;A contact value cannot hold a NUL character";
        row(QStringLiteral("2,Eva%1Eg,7,8,e@f,9,10").arg(QChar(0)), nul, 0, "", "2,Eva<NUL>Eg,...");
        row(QStringLiteral("NEW,Ann,1,2,a@b,3,4%1").arg(QChar(0)), nul, 0, "", "NEW,...,4<NUL>");
        row("NEW,Eve\r\nCALL_:,99999999,Forged,1,2,a@b,3",
            "ERRO;A contact value cannot hold a control character", 0, "", "NEW,Eve<CR><LF>...");
    }
    void save() {
        QFETCH(QString, values);
        QFETCH(QString, answer);
        QFETCH(int, key);
        QFETCH(QString, line);
        const QString calls = test::dumpTable(*m_db, "tblCalls");
        QStringList expected = test::dumpTable(*m_db, "tblContacts").split('\n');
        if (key > expected.size())
            expected << line;
        else if (key > 0)
            expected[key - 1] = line;
        contact("CNTAC:SAVE;" + values);
        QCOMPARE(m_sent, QStringList{"CNTAC:" + answer});
        QCOMPARE(test::dumpTable(*m_db, "tblContacts").split('\n'), expected);
        QCOMPARE(test::dumpTable(*m_db, "tblCalls"), calls);
    }

    // Entries are kept as the call log writes numbers; problems are answered and change
    // nothing.
    void blockRequests_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("entries");  // tblBlocked's numbers and notes afterwards
        const auto row = [](const QString &request, const char *answer, const char *entries) {
            QTest::newRow(qPrintable(request)) << request << QString(answer) << QString(entries);
        };
        const char *seeded = "33333333 seed";
        row("BLOCK:ADD;+45 22 33-44.55;Sælger", "BLOCK:ADD;22334455",
            "22334455 Sælger,33333333 seed");
        row("BLOCK:ADD;(22) 33 *", "BLOCK:ADD;2233*", "2233* ,33333333 seed");
        row("BLOCK:ADD;+46 8*;", "BLOCK:ADD;00468*", "00468* ,33333333 seed");
        row("BLOCK:ADD;5; DROP TABLE tblContacts", "BLOCK:ADD;5",
            "33333333 seed,5  DROP TABLE tblContacts");
        row("BLOCK:ADD;+45 33 33 33 33", "BLOCK:ERRO;33333333 is already on the block list",
            seeded);
        row("BLOCK:ADD;11;a;b", kNoteProblem, seeded);
        row("BLOCK:ADD;11;CALL_:,11", kNoteProblem, seeded);
        row(QStringLiteral("BLOCK:ADD;11;%1").arg(QChar(0)), kNoteProblem, seeded);
        row("BLOCK:ADD;11;" + QString(201, 'x'), "BLOCK:ERRO;A note holds at most 200 characters",
            seeded);
        row("BLOCK:ADD;*", "BLOCK:ERRO;An entry needs a digit", seeded);
        row("BLOCK:ADD;" + QString(33, '1'), "BLOCK:ERRO;An entry holds at most 32 digits", seeded);
        row("BLOCK:ADD;22*33", kNotAnEntry, seeded);
        row("BLOCK:ADD;Secret number",
            "BLOCK:ERRO;Withheld numbers are blocked by the setting BlockWithheld", seeded);
        row("BLOCK:DEL;33 33 33 33", "BLOCK:DEL;33333333", "");
        row("BLOCK:DEL;33333333\r\n", "BLOCK:DEL;33333333", "");
        row("BLOCK:DEL;44444444", "BLOCK:ERRO;44444444 is not on the block list", seeded);
        row("BLOCK:DEL;Secret number",
            "BLOCK:ERRO;Withheld numbers are blocked by the setting BlockWithheld", seeded);
        row("BLOCK:LIST", "BLOCK:ERRO;Not a block request", seeded);
    }
    void blockRequests() {
        QFETCH(QString, request);
        const QString before = dumpBoth();
        QTEST(block({request}).value(0), "answer");
        QStringList entries;
        for (Query row = m_db->query("SELECT Number, Note FROM tblBlocked ORDER BY Number");
             !row.atEnd(); row.next())
            entries << row.field("Number") + ' ' + row.field("Note");
        QTEST(entries.join(','), "entries");
        QCOMPARE(dumpBoth(), before);
    }

    // Whatever a hostile client sends as a number or a note, the answer is a block answer,
    // the rest of the file stays as it was and only numbers and prefixes are stored.
    void blockRequestsWithHostileInput() {
        const QString before = dumpBoth();
        QStringList requests;
        for (const char *text : kInjections)
            requests << QStringLiteral("BLOCK:ADD;%1").arg(text)
                     << QStringLiteral("BLOCK:ADD;1234;%1").arg(text)
                     << QStringLiteral("BLOCK:DEL;%1").arg(text);
        for (const QString &answer : block(requests))
            QVERIFY2(answer.startsWith("BLOCK:"), qPrintable(answer));
        QCOMPARE(dumpBoth(), before);
        for (Query row = m_db->query("SELECT Number FROM tblBlocked"); !row.atEnd(); row.next())
            QVERIFY2(QRegularExpression("^\\d{1,32}\\*?$").match(row.field("Number")).hasMatch(),
                     qPrintable(row.field("Number")));
    }

    // The number itself wins over a prefix, a longer prefix over a shorter one; withheld
    // calls are counted under BlockWithheld's entry, listed first.
    void blockedCallsAreMatchedAndCounted() {
        const QStringList entries = {"2233*", "22*", "22334455", "4*"};
        QCOMPARE(BlockList::blockingEntry(entries, "22334455"), QStringLiteral("22334455"));
        QCOMPARE(BlockList::blockingEntry(entries, "22339999"), QStringLiteral("2233*"));
        QCOMPARE(BlockList::blockingEntry(entries, "22000000"), QStringLiteral("22*"));
        QCOMPARE(BlockList::blockingEntry(entries, "12233"), QString());
        QCOMPARE(BlockList::blockingEntry({"*"}, "12233"), QString());
        QCOMPARE(BlockList::blockingEntry(entries, ""), QString());
        m_db->exec(
            "INSERT INTO tblBlockedCalls (CallID, Entry) VALUES (2, '33333333'), "
            "(6, '33333333'), (5, ?)",
            {kSecretNumber});
        QCOMPARE(block({"BLOCK:ADD;4*;Hansen", "BLOCK:LIST;"}).value(1),
                 "BLOCK:LIST;Secret number,BlockWithheld,,1,12:00;"
                 "33333333,seed,2026-12-07 12:00:00,2,13:00;4*,Hansen,2026-12-07 12:00:00,0,;");
    }

    // Matches are listed in name order, nameless first; a contact whose searched columns
    // are all missing never matches. Requests that are not a search or a save are ignored.
    void searchAnswers_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QStringList>("sent");
        const auto row = [](const char *request, const char *answer) {
            QTest::newRow(request) << QString(request) << QStringList{answer};
        };
        row("CNTAC:SEAR;NAME;han", "CNTAC:SEAR;Bo Hansen,44444444,,,55512345,,3,3,1");
        row("CNTAC:SEAR;NAME;han,@ID:1",
            "CNTAC:SEAR;Hansen Ann,11111111,22222222,ann@x.dk,,,1,3,1");
        row("CNTAC:SEAR;NAME;han,@ID:5", "CNTAC:SEAR;None,3,1");
        row("CNTAC:SEAR;NAME;han,@ID:", "CNTAC:SEAR;Bo Hansen,44444444,,,55512345,,3,3,1");
        row("CNTAC:SEAR;NAME;Zorro", "CNTAC:SEAR;None");
        row("CNTAC:SEAR;NAME;Zorro,@ID:1", "CNTAC:SEAR;None");
        row("CNTAC:SEAR;ALLF;", "CNTAC:SEAR;,33333333,,,,,2,2,3,1,5");
        row("CNTAC:SEAR;ALLF;44", "CNTAC:SEAR;Bo Hansen,44444444,,,55512345,,3,3,5");
        row("CNTAC:SEAR;PHON;3333", "CNTAC:SEAR;,33333333,,,,,2,2");
        row("CNTAC:SEAR;MOBI;2222", "CNTAC:SEAR;Hansen Ann,11111111,22222222,ann@x.dk,,,1,1");
        row("CNTAC:SEAR;EMAI;@x", "CNTAC:SEAR;Hansen Ann,11111111,22222222,ann@x.dk,,,1,1,5");
        row("CNTAC:SEAR;BPHO;5_5", "CNTAC:SEAR;Bo Hansen,44444444,,,55512345,,3,3");
        row("CNTAC:SEAR;BFAX;4455", "CNTAC:SEAR;O'Brien,,,ob@x.ie,,44556677,5,5");
        row("CNTAC:SEAR;PHON;1%1", "CNTAC:SEAR;Hansen Ann,11111111,22222222,ann@x.dk,,,1,1");
        row("CNTAC:SEAR;NAME;O'Bri", "CNTAC:SEAR;O'Brien,,,ob@x.ie,,44556677,5,5");
        row("CNTAC:SEAR;ALLF;' OR '1'='1", "CNTAC:SEAR;None");
        row("CNTAC:SEAR;NAME;'); DROP TABLE tblContacts; --", "CNTAC:SEAR;None");
        row("CNTAC:SEAR;NAME;han,@x:y:1", "CNTAC:SEAR;None,3,1");
        row("CNTAC:SEAR;NAME;han,@1", "CNTAC:SEAR;None,3,1");
        row("CNTAC:SEAR;MOBI;a,b", "CNTAC:SEAR;None");
        for (const char *ignored :
             {"CNTAC:save;NEW,Ann,1,2,a@b,3,4", "CNTAC:FIND;NAME;han", "CNTAC:SEAR;name;han",
              "CNTAC:SEAR;NAMES;han", "CNTAC:SEAR;NAME", "CNTAC:SEAR;NA,@ID:1;han",
              "CNTAC:", "STATS:LAST;5", ""})
            QTest::newRow(ignored) << QString(ignored) << QStringList();
    }
    void searchAnswers() {
        QFETCH(QString, request);
        const QString before = dumpBoth();
        contact(request);
        QTEST(m_sent, "sent");
        QCOMPARE(dumpBoth(), before);
    }

    // Case is ignored for every letter, Æ, Ø, Å (and "aa", the old spelling of Å) come
    // after Z, and accented letters sort beside their base letter, as in a Danish book.
    void namesInDanishOrder_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("ordered");
        const auto row = [](const QStringList &names, const QStringList &ordered) {
            QTest::newRow(qPrintable(names.join(", "))) << names << ordered;
        };
        row({"Åse Berg", "Ørsted Hans", "Æble Mads", "Zenia Lund", "anders And", "Bo Jensen"},
            {"anders And", "Bo Jensen", "Zenia Lund", "Æble Mads", "Ørsted Hans", "Åse Berg"});
        row({"åse", "Øre", "æble", "ørn", "Zoe"}, {"Zoe", "æble", "Øre", "ørn", "åse"});
        row({"bo", "Carl", "anders", "Bente"}, {"anders", "Bente", "bo", "Carl"});
        row({"Aase", "Zorn", "Adam", "Ågade"}, {"Adam", "Zorn", "Ågade", "Aase"});
        row({"Eva", "Émile", "Ebbe", "Ärlig", "Zola"}, {"Ebbe", "Émile", "Eva", "Zola", "Ärlig"});
    }
    void namesInDanishOrder() {
        QFETCH(QStringList, names);
        QFETCH(QStringList, ordered);
        useNames(names);
        QString list = QStringLiteral("STATS:CNTS;00#");
        QStringList keys;
        for (const QString &name : ordered) {
            const int key = names.indexOf(name) + 1;
            list += namedRow(key, name);
            keys << QString::number(key);
        }
        stats("STATS:CNTS;00");
        contact("CNTAC:SEAR;NAME;");
        QCOMPARE(m_sent, (QStringList{list, QStringLiteral("CNTAC:SEAR;%1,,,,,,%2,%3")
                                                .arg(ordered[0], keys[0], keys.join(','))}));
    }

    // Requests and answers are Latin-1 on the wire; the book stores UTF-8.
    void searchIgnoresCaseOfEveryLetter_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        const auto row = [](const char *request, const char *answer) {
            QTest::newRow(request)
                << QString::fromUtf8(request).toLatin1() << QString::fromUtf8(answer).toLatin1();
        };
        row("CNTAC:SEAR;NAME;ørsted", "CNTAC:SEAR;Ørsted Hans,,,,,,1,1");
        row("CNTAC:SEAR;NAME;ØRSTED", "CNTAC:SEAR;Ørsted Hans,,,,,,1,1");
        row("CNTAC:SEAR;NAME;_rsted", "CNTAC:SEAR;Ørsted Hans,,,,,,1,1");
        row("CNTAC:SEAR;NAME;ø%h", "CNTAC:SEAR;Ørsted Hans,,,,,,1,1");
        row("CNTAC:SEAR;NAME;åSE", "CNTAC:SEAR;Åse Berg,,,,,,2,2");
        row("CNTAC:SEAR;NAME;SE_B", "CNTAC:SEAR;Åse Berg,,,,,,2,2");
        row("CNTAC:SEAR;ALLF;æble", "CNTAC:SEAR;Æble Mads,,,,,,3,3");
        row("CNTAC:SEAR;NAME;émile", "CNTAC:SEAR;Émile Zola,,,,,,4,4");
        row("CNTAC:SEAR;NAME;ANDERS_", "CNTAC:SEAR;anders And,,,,,,5,5");
        row("CNTAC:SEAR;NAME;e", "CNTAC:SEAR;anders And,,,,,,5,5,4,3,1,2");
        row("CNTAC:SEAR;NAME;emile", "CNTAC:SEAR;None");
        row("CNTAC:SEAR;NAME;örsted", "CNTAC:SEAR;None");
    }
    void searchIgnoresCaseOfEveryLetter() {
        QFETCH(QByteArray, request);
        useNames({"Ørsted Hans", "Åse Berg", "Æble Mads", "Émile Zola", "anders And"});
        contact(QString::fromLatin1(request));
        QCOMPARE(m_sent.size(), 1);
        QTEST(m_sent[0].toLatin1(), "answer");
    }

    // A file of the release before: it opens unchanged, answers in Danish order and
    // ranks the top list as before; afterwards a connection with no functions or
    // collations of ours (a sqlite3 shell) can still insert and update contacts.
    void fileOfEarlierReleaseKeepsWorking() {
        const QString path = m_env->filePath("earlier.db");
        {
            SQLite::Database earlier(path.toStdString(),
                                     SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            earlier.exec(kOldSchema);
            earlier.exec(
                "INSERT INTO tblContacts (FullName, TotalCalls) VALUES ('Åse Berg', 2), "
                "('Bo Jensen', 5), ('anders And', 2), ('Ørsted Hans', 9)");
        }
        m_db->open(path, Database::OpenMode::MustExist);
        QCOMPARE(block({"BLOCK:LIST;"}), QStringList{"BLOCK:LIST;Secret number,BlockWithheld,,0,;"
                                                     "33333333,seed,2026-12-07 12:00:00,0,;"});
        stats("STATS:CNTS;00");
        stats("STATS:TOPS;3");
        QCOMPARE(m_sent,
                 (QStringList{"STATS:CNTS;00#" + namedRow(3, "anders And", "2") +
                                  namedRow(2, "Bo Jensen", "5") + namedRow(4, "Ørsted Hans", "9") +
                                  namedRow(1, "Åse Berg", "2"),
                              "STATS:TOPS;3#" + namedRow(4, "Ørsted Hans", "9") +
                                  namedRow(2, "Bo Jensen", "5") + namedRow(1, "Åse Berg", "2")}));
        m_db->close();

        SQLite::Database shell(path.toStdString(), SQLite::OPEN_READWRITE);
        shell.exec("INSERT INTO tblContacts (FullName, TotalCalls) VALUES ('Zenia Lund', 7)");
        shell.exec("UPDATE tblContacts SET TotalCalls = 2.5, FullName = 'Aase' WHERE ID = 2");
        shell.exec("UPDATE tblContacts SET TotalCalls = TotalCalls + 1");
        QCOMPARE(shell.execAndGet("PRAGMA integrity_check").getString(), std::string("ok"));
    }

    // The top list's key ranks every kind of total as Int() does: numbers rounded down,
    // text and blobs and NULL last, equal totals by key.
    void topListRanksEveryKindOfTotalAsInt() {
        m_db->exec("DELETE FROM tblContacts");
        const QVariantList totals{
            2,       2.7,   -2.5,   "12",    "abc", QVariant(), -3,
            3,       1e300, -1e300, " 4.5 ", "1e3", 9.2e18,     9223372036854775807LL,
            "12abc", "inf", 0.5,    -0.5,    0};
        for (const QVariant &total : totals)
            m_db->exec("INSERT INTO tblContacts (TotalCalls) VALUES(?)", {total});
        m_db->exec("INSERT INTO tblContacts (TotalCalls) VALUES(x'31')");
        QString expected = QStringLiteral("STATS:TOPS;100#");
        const char *const columns[] = {"ID",          "FullName",      "HomePhone",
                                       "MobilePhone", "BusinessPhone", "BusinessFax",
                                       "Email",       "TotalCalls",    "Unrecognized"};
        for (Query row = m_db->query("SELECT * FROM tblContacts ORDER BY Int(TotalCalls) DESC, ID");
             !row.atEnd(); row.next()) {
            for (const char *column : columns)
                expected += ", " + row.field(column) + ' ';
        }
        stats("STATS:TOPS;100");
        QCOMPARE(m_sent, QStringList{expected});
    }

    // Statistics get no answer and contact requests the reason; an unknown view is
    // still echoed.
    void failingDatabase() {
        m_db->close();
        for (const char *request : {"STATS:LAST;5", kFakeOutgoingRequest, "STATS:last;5"})
            stats(request);
        for (const char *request : {"CNTAC:SAVE;NEW,Ann,1,2,a@b,3,4",
                                    "CNTAC:SAVE;1,Ann,1,2,a@b,3,4", "CNTAC:SEAR;ALLF;han"})
            contact(request);
        QCOMPARE(m_sent, QStringList({"STATS:last;5"}) +
                             QStringList(3, "CNTAC:ERRO;The database is not open"));
    }
};

QTEST_APPLESS_MAIN(QueriesTest)
#include "queries_test.moc"
