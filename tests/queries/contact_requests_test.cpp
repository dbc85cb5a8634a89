#include <QtTest>

#include "db/database.h"
#include "queries/contact_requests.h"
#include "support/table_dump.h"
#include "support/temp_environment.h"

using namespace ringwise;

class ContactRequestsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempEnvironment> m_env;
    std::unique_ptr<Database> m_db;
    QStringList m_sent;
    int m_copies = 0;

    void handle(const QString &request) {
        ContactRequests requests(*m_db, [this](const QString &text) { m_sent << text; });
        requests.HandleContactRequest(request);
    }

    QString dumpBoth() {
        return test::dumpTable(*m_db, "tblContacts") + "\n--\n" +
               test::dumpTable(*m_db, "tblCalls");
    }

    // Three names hold "han" (by name: Bo Hansen 3, "Hansen, Ann" 1, Johan Berg 4), one
    // contact has no name, one an apostrophe, one no value in any searched column.
    void addContacts() {
        const QVariant null;
        const QList<QVariantList> contacts{
            {"Hansen, Ann", "11111111", null, "ann@x.dk", null, null, null},
            {"Anders And", null, "22334455", null, null, null, null},
            {"Bo Hansen", null, null, "", "55512345", null, null},
            {"Johan Berg", "66666666", null, "jb@x.dk", null, null, null},
            {null, "99887766", null, null, null, null, "99887766"},
            {"O'Brien", null, null, "ob@x.ie", null, "44556677", null},
            {null, null, null, null, null, null, "Secret number"},
        };
        m_db->exec("BEGIN");
        for (const QVariantList &values : contacts)
            m_db->exec(
                "INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, Email, "
                "BusinessPhone, BusinessFax, Unrecognized) VALUES(?, ?, ?, ?, ?, ?, ?)",
                values);
        m_db->exec("INSERT INTO tblCalls (ContactID, CallTime, CallNumber) VALUES(?, ?, ?)",
                   {5, "2024-03-01 08:00:00", "99887766"});
        m_db->exec("COMMIT");
    }

private slots:
    void initTestCase() {
        m_env = std::make_unique<test::TempEnvironment>();
        m_db = std::make_unique<Database>();
        m_db->open(m_env->filePath("seed.db"), Database::OpenMode::CreateIfMissing);
        addContacts();
        m_db.reset();
    }

    // Each test works on its own copy of the prepared file, which spares it the schema's
    // creation and the data's inserts.
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

    // Each row names the one line of the contact table that the save must add or replace
    // (as dumpTable writes it); every other line, and the call log, must stay as it was.
    void saveWritesOneContact_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("line");

        const QString added = "CNTAC:SAVE;New record saved succesfully.";
        const QString modified = "CNTAC:SAVE;Record modified succesfully.";
        QTest::newRow("NEW,Ann,1,2,a@b,3,4") << "CNTAC:SAVE;NEW,Ann,1,2,a@b,3,4" << added << 8
                                             << "8|'Ann'|'1'|'2'|'3'|'4'|'a@b'|0|NULL";
        QTest::newRow("NEW with a comma in the name")
            << "CNTAC:SAVE;NEW,Hansen, Ann,1,2,a@b,3,4" << added << 8
            << "8|'Hansen'|' Ann'|'1'|'a@b'|'3'|'2'|0|NULL";
        QTest::newRow("NEW with parts beyond six") << "CNTAC:SAVE;NEW,Ann,1,2,a@b,3,4,5,6" << added
                                                   << 8 << "8|'Ann'|'1'|'2'|'3'|'4'|'a@b'|0|NULL";
        QTest::newRow("NEW with empty values")
            << "CNTAC:SAVE;NEW,,,,,," << added << 8 << "8|''|''|''|''|''|''|0|NULL";
        QTest::newRow("NEW,O'Brien; DROP TABLE tblCalls; --")
            << "CNTAC:SAVE;NEW,O'Brien; DROP TABLE tblCalls; --,1,2,e,3,4" << added << 8
            << "8|'O''Brien; DROP TABLE tblCalls; --'|'1'|'2'|'3'|'4'|'e'|0|NULL";
        QTest::newRow("4,Johan Berg,...") << "CNTAC:SAVE;4,Johan B. Berg,7,8,j@b,9,10" << modified
                                          << 4 << "4|'Johan B. Berg'|'7'|'8'|'9'|'10'|'j@b'|0|NULL";
        QTest::newRow("update keeps Unrecognized")
            << "CNTAC:SAVE;5,Eva Eg,99887766,,,," << modified << 5
            << "5|'Eva Eg'|'99887766'|''|''|''|''|0|'99887766'";
        QTest::newRow("key of no contact")
            << "CNTAC:SAVE;999,Ann,1,2,a@b,3,4" << modified << 0 << QString();
    }

    void saveWritesOneContact() {
        QFETCH(QString, request);
        QFETCH(QString, answer);
        QFETCH(int, key);
        QFETCH(QString, line);

        const QString calls = test::dumpTable(*m_db, "tblCalls");
        QStringList expected = test::dumpTable(*m_db, "tblContacts").split('\n');
        if (key > expected.size())
            expected << line;
        else if (key > 0)
            expected[key - 1] = line;

        handle(request);
        QCOMPARE(m_sent, QStringList{answer});
        QCOMPARE(test::dumpTable(*m_db, "tblContacts").split('\n'), expected);
        QCOMPARE(test::dumpTable(*m_db, "tblCalls"), calls);
    }

    void hostileOrShortSaveChangesNothing_data() {
        QTest::addColumn<QString>("request");
        QTest::newRow("new,Ann,1,2,a@b,3,4") << "CNTAC:SAVE;new,Ann,1,2,a@b,3,4";
        QTest::newRow("1 OR 1=1") << "CNTAC:SAVE;1 OR 1=1,Ann,1,2,a@b,3,4";
        QTest::newRow("5; DROP TABLE tblContacts")
            << "CNTAC:SAVE;5; DROP TABLE tblContacts,A,1,2,e,3,4";
        QTest::newRow("1' OR '1'='1") << "CNTAC:SAVE;1' OR '1'='1,Ann,1,2,a@b,3,4";
        QTest::newRow("-1") << "CNTAC:SAVE;-1,Ann,1,2,a@b,3,4";
        QTest::newRow("key beyond 64 bits") << "CNTAC:SAVE;99999999999999999999,A,1,2,e,3,4";
        QTest::newRow("NEW with five values") << "CNTAC:SAVE;NEW,Ann,1,2,a@b,3";
        QTest::newRow("update with five values") << "CNTAC:SAVE;1,Ann,1,2,a@b,3";
        QTest::newRow("nothing after the head") << "CNTAC:SAVE;";
    }

    void hostileOrShortSaveChangesNothing() {
        QFETCH(QString, request);
        const QString before = dumpBoth();
        handle(request);
        QCOMPARE(m_sent.size(), 1);
        QVERIFY2(m_sent[0].startsWith("CNTAC:ERRO;") && m_sent[0].size() > 11,
                 qPrintable(m_sent[0]));
        QCOMPARE(dumpBoth(), before);
    }

    void searchAnswers_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("answer");

        QTest::newRow("first match shown") << "CNTAC:SEAR;NAME;han"
                                           << "CNTAC:SEAR;Bo Hansen,,,,55512345,,3,3,1,4";
        QTest::newRow("selector names the second")
            << "CNTAC:SEAR;NAME;han,@ID:1"
            << "CNTAC:SEAR;Hansen Ann,11111111,,ann@x.dk,,,1,3,1,4";
        QTest::newRow("text before the selector's colon is ignored")
            << "CNTAC:SEAR;NAME;han,@whatever:4"
            << "CNTAC:SEAR;Johan Berg,66666666,,jb@x.dk,,,4,3,1,4";
        QTest::newRow("selector names no match") << "CNTAC:SEAR;NAME;han,@ID:2"
                                                 << "CNTAC:SEAR;None,3,1,4";
        QTest::newRow("selector without colon") << "CNTAC:SEAR;NAME;han,@1"
                                                << "CNTAC:SEAR;None,3,1,4";
        QTest::newRow("empty selector shows the first")
            << "CNTAC:SEAR;NAME;han,@ID:"
            << "CNTAC:SEAR;Bo Hansen,,,,55512345,,3,3,1,4";
        QTest::newRow("no match") << "CNTAC:SEAR;NAME;Zorro"
                                  << "CNTAC:SEAR;None";
        QTest::newRow("no match with selector") << "CNTAC:SEAR;NAME;Zorro,@ID:1"
                                                << "CNTAC:SEAR;None";
        QTest::newRow("ALLF empty term") << "CNTAC:SEAR;ALLF;"
                                         << "CNTAC:SEAR;,99887766,,,,,5,5,2,3,1,4,6";
        QTest::newRow("ALLF across columns") << "CNTAC:SEAR;ALLF;4455"
                                             << "CNTAC:SEAR;Anders And,,22334455,,,,2,2,6";
        QTest::newRow("PHON") << "CNTAC:SEAR;PHON;6666"
                              << "CNTAC:SEAR;Johan Berg,66666666,,jb@x.dk,,,4,4";
        QTest::newRow("MOBI") << "CNTAC:SEAR;MOBI;2233"
                              << "CNTAC:SEAR;Anders And,,22334455,,,,2,2";
        QTest::newRow("EMAI") << "CNTAC:SEAR;EMAI;@x.dk"
                              << "CNTAC:SEAR;Hansen Ann,11111111,,ann@x.dk,,,1,1,4";
        QTest::newRow("BPHO") << "CNTAC:SEAR;BPHO;555"
                              << "CNTAC:SEAR;Bo Hansen,,,,55512345,,3,3";
        QTest::newRow("BFAX") << "CNTAC:SEAR;BFAX;4455"
                              << "CNTAC:SEAR;O'Brien,,,ob@x.ie,,44556677,6,6";
        QTest::newRow("underscore is a wildcard") << "CNTAC:SEAR;BPHO;5_5"
                                                  << "CNTAC:SEAR;Bo Hansen,,,,55512345,,3,3";
        QTest::newRow("percent is a wildcard") << "CNTAC:SEAR;PHON;1%1"
                                               << "CNTAC:SEAR;Hansen Ann,11111111,,ann@x.dk,,,1,1";
        QTest::newRow("O'Bri") << "CNTAC:SEAR;NAME;O'Bri"
                               << "CNTAC:SEAR;O'Brien,,,ob@x.ie,,44556677,6,6";
        QTest::newRow("' OR '1'='1") << "CNTAC:SEAR;ALLF;' OR '1'='1"
                                     << "CNTAC:SEAR;None";
        QTest::newRow("'); DROP TABLE tblContacts; --")
            << "CNTAC:SEAR;NAME;'); DROP TABLE tblContacts; --"
            << "CNTAC:SEAR;None";
    }

    void searchAnswers() {
        QFETCH(QString, request);
        QFETCH(QString, answer);
        const QString before = dumpBoth();
        handle(request);
        QCOMPARE(m_sent, QStringList{answer});
        QCOMPARE(dumpBoth(), before);
    }

    void unknownRequestGetsNoAnswer_data() {
        QTest::addColumn<QString>("request");
        QTest::newRow("CNTAC:save;NEW,...") << "CNTAC:save;NEW,Ann,1,2,a@b,3,4";
        QTest::newRow("CNTAC:FIND;NAME;han") << "CNTAC:FIND;NAME;han";
        QTest::newRow("CNTAC:SEAR;name;han") << "CNTAC:SEAR;name;han";
        QTest::newRow("CNTAC:SEAR;NAMES;han") << "CNTAC:SEAR;NAMES;han";
        QTest::newRow("CNTAC:SEAR;NAME") << "CNTAC:SEAR;NAME";
        QTest::newRow("CNTAC:SEAR;NA,@ID:1;han") << "CNTAC:SEAR;NA,@ID:1;han";
        QTest::newRow("CNTAC:") << "CNTAC:";
    }

    void unknownRequestGetsNoAnswer() {
        QFETCH(QString, request);
        const QString before = dumpBoth();
        handle(request);
        QCOMPARE(m_sent, QStringList{});
        QCOMPARE(dumpBoth(), before);
    }

    void failingDatabaseIsAnsweredWithItsDescription_data() {
        QTest::addColumn<QString>("request");
        QTest::newRow("save") << "CNTAC:SAVE;NEW,Ann,1,2,a@b,3,4";
        QTest::newRow("update") << "CNTAC:SAVE;1,Ann,1,2,a@b,3,4";
        QTest::newRow("search") << "CNTAC:SEAR;ALLF;han";
    }

    void failingDatabaseIsAnsweredWithItsDescription() {
        QFETCH(QString, request);
        m_db->close();
        handle(request);
        QCOMPARE(m_sent, QStringList{"CNTAC:ERRO;The database is not open"});
    }
};

QTEST_APPLESS_MAIN(ContactRequestsTest)
#include "contact_requests_test.moc"
