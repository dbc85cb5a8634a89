// SPDX-License-Identifier: GPL-3.0-or-later
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SQLiteCpp/Database.h>
#include <QtTest>

#include "call/call_record.h"
#include "db/database.h"
#include "db/database_error.h"
#include "intake/call_logger.h"
#include "intake/device_output.h"
#include "intake/device_parser.h"
#include "intake/serial_device.h"
#include "support/pseudo_terminal.h"
#include "support/table_dump.h"
#include "support/temp_environment.h"

using namespace ringwise;

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 7, 9));
const QString kNowText = QStringLiteral("2024-03-05 14:07:09");

// Notes each event with the number or ring count of that moment; the one named in
// `failing` throws, as a broken database would.
struct FakeCallEvents : CallEvents {
    explicit FakeCallEvents(const CallRecord &record) : record(record) {}
    void LogCall() override { note("LogCall", CallField::Number); }
    void RecordRing() override { note("RecordRing", CallField::Rings); }
    void note(const QString &event, CallField field) {
        log << event + ' ' + record.value(field);
        if (failing == event)
            throw DatabaseError(5, QStringLiteral("database is locked"));
    }
    const CallRecord &record;
    QStringList log;
    QString failing;
};

// A logger on a real database file, with the lookups, the broadcast and the reports
// recorded; calls that wait are tried again every 10 ms.
struct Logger {
    test::TempEnvironment env;
    Database db;
    CallRecord record;
    bool lookupsOn = true;
    QList<CallFields> lookups;
    QStringList sent;
    QStringList reports;
    CallLogger logger{
        db,
        record,
        [this] { return lookupsOn; },
        [this](const CallFields &call) { lookups << call; },
        [this](const QString &text) { sent << text; },
        [this](const QString &title, const QString &text) { reports << title + ": " + text; },
        10};

    Logger() {
        db.open(env.filePath("calls.db"), Database::OpenMode::CreateIfMissing);
        db.exec("PRAGMA synchronous=OFF");  // durability is not under test
    }
    // The record as the parser leaves it when "#" arrives.
    void call(const QString &number) {
        record.ResetCallDisplay();
        record.set(CallField::Number, number);
        record.set(CallField::CallTime, kNowText);
        logger.LogCall();
    }
    void ring() {
        record.set(CallField::Rings, QString::number(record.value(CallField::Rings).toInt() + 1));
        logger.RecordRing();
    }
    QString value(const QString &sql, const QVariantList &values = {}) {
        return db.query(sql, values).field("v");
    }
    QString dump(const char *table) { return test::dumpTable(db, table); }
};

// A serial port retrying every 10 ms; its characters and reports are collected.
struct Port {
    QString received;
    QStringList reports;
    SerialDevice device{
        [this](QChar character) { received += character; },
        [this](const QString &title, const QString &text) { reports << title + ": " + text; }, 10};
    QTimer *retryTimer() { return device.findChild<QTimer *>({}, Qt::FindDirectChildrenOnly); }
};

// Makes the device appear at path, as a plugged-in adapter would.
bool pointTo(const QString &path, const test::PseudoTerminal &pty) {
    QFile::remove(path);
    return QFile::link(pty.slavePath(), path);
}

// Opens the device as the box's port in a child process that dies with the port open, so
// nothing is undone, as after a kill.
bool openAndDie(const QString &path) {
    const pid_t child = ::fork();
    if (child == 0) {
        TerminalPort port;
        ::_exit(port.open(path, SerialLine{}).isEmpty() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

}  // namespace

class IntakeTest : public QObject {
    Q_OBJECT

private slots:
    void grammar_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("rings");
        QTest::addColumn<QString>("output");  // a leading CR LF: a call was opened
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("failing");  // that event throws
        const auto row = [](const char *input, const char *number, const char *rings,
                            const char *output, const QStringList &events,
                            const char *failing = "") {
            QTest::newRow(input) << QString(number) << QString(rings) << QString(output) << events
                                 << QString(failing);
        };
        const QStringList rrr{"RecordRing 1", "RecordRing 2", "RecordRing 3"};
        const QStringList testLine = QStringList{"LogCall 12345678"} + rrr;
        row("A12345678#RRR", "12345678", "3", "\r\nA12345678#RRR", testLine);
        row("Fake opkald", "12345678", "3", "\r\nA12345678#RRR", testLine);
        row("D555#", "Secret number", "0", "\r\nD555#", {"LogCall Secret number"});
        row("123", "", "0", "123", {});
        row("A#", "", "0", "\r\nA#", {"LogCall "});
        // Noise with no call open, and a second "#" for a logged call, are only shown.
        row("R#R", "", "0", "R#R", {});
        row("A12#R#", "12", "1", "\r\nA12#R#", {"LogCall 12", "RecordRing 1"});
        row("AR1#", "1", "1", "\r\nAR1#", {"RecordRing 1", "LogCall 1"});
        row("A1#RRR R", "1", "4", "\r\nA1#RRR R", QStringList{"LogCall 1"} + rrr << "RecordRing 4");
        row("A09#87", "0987", "0", "\r\nA09#87", {"LogCall 09"});
        row("a1d2r3", "", "0", "a1d2r3", {});
        row("A1\u00b22", "12", "0", "\r\nA1\u00b22", {});
        row("A12D34", "Secret number", "0", "\r\nA12\r\nD34", {});
        // A failure resets the call and leaves the character unechoed; the next one counts.
        row("A12#", "", "0", "\r\nA12", {"LogCall 12"}, "LogCall");
        row("A12#5", "", "0", "\r\nA125", {"LogCall 12"}, "LogCall");
        row("A1#R", "", "0", "\r\nA1#", {"LogCall 1", "RecordRing 1"}, "RecordRing");
    }
    void grammar() {
        QFETCH(QString, failing);
        CallRecord record;
        FakeCallEvents events(record);
        events.failing = failing;
        DeviceOutput output;
        DeviceParser parser(record, events, output, [] { return kNow; });
        const QString input = QTest::currentDataTag();
        if (input == "Fake opkald")
            parser.feedTestCall();
        else
            for (const QChar character : input)
                parser.HandleDeviceText(character);
        QTEST(events.log, "events");
        QTEST(output.text(), "output");
        QTEST(record.value(CallField::Number), "number");
        QTEST(record.value(CallField::Rings), "rings");
        const bool opened = failing.isEmpty() && output.text().startsWith("\r\n");
        QCOMPARE(record.value(CallField::CallType), opened ? "Ingoing" : "0");
        QCOMPARE(record.value(CallField::CallTime), opened ? kNowText : "0");
    }

    void outputKeepsTheNewestPart() {
        DeviceOutput output(4);
        QSignalSpy appended(&output, &DeviceOutput::appended);
        output.append("\r\nA1");
        output.append("#");
        QCOMPARE(output.text(), "\nA1#");
        output.append("socket error 1");
        QCOMPARE(output.text(), "or 1");
        QCOMPARE(appended.size(), 3);
        QCOMPARE(appended.at(2).at(0).toString(), "socket error 1");
        DeviceOutput byDefault;
        for (int i = 0; i < 5000; ++i)
            byDefault.append("\r\nA12345678#RRR");
        QCOMPARE(byDefault.text().size(), 64 * 1024);
    }

    void knownContact_data() {
        QTest::addColumn<QString>("number");
        QTest::newRow("HomePhone") << "11111111";
        QTest::newRow("MobilePhone") << "22222222";
        QTest::newRow("BusinessPhone") << "33333333";
        QTest::newRow("BusinessFax") << "44444444";
    }
    void knownContact() {
        QFETCH(QString, number);
        Logger l;
        l.db.exec("INSERT INTO tblContacts (Unrecognized) VALUES('99999999')");
        l.db.exec(
            "INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, BusinessPhone, "
            "BusinessFax, Email, TotalCalls) VALUES('Anna Berg  ', '11111111', '22222222', "
            "'33333333', '44444444', NULL, 4)");
        l.call(number);

        QStringList shown;  // name, four phones, e-mail, contact key
        for (int field = int(CallField::Name); field <= int(CallField::ContactId); ++field)
            shown << l.record.value(CallField(field));
        QCOMPARE(shown.join('|'), " Anna Berg  | 11111111| 22222222| 33333333| 44444444| |2");
        QCOMPARE(l.sent, QStringList{"CALL_:," + number +
                                     ",Anna Berg,11111111,22222222,33333333,44444444,"});
        QCOMPARE(l.dump("tblCalls"), "1|2|'2024-03-05 14:07:09'|0|'" + number + "'");
        QCOMPARE(l.value("SELECT group_concat(TotalCalls) AS v FROM tblContacts"), "0,5");
        QVERIFY(l.lookups.isEmpty());
    }

    void lookupRule_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("unrecognized");  // the name of an existing row, "-": none
        QTest::addColumn<bool>("lookupsOn");
        QTest::addColumn<bool>("lookedUp");
        QTest::addColumn<QString>("line");
        const auto row = [](const char *tag, const char *number, const char *unrecognized,
                            bool lookupsOn, bool lookedUp, const char *name = "") {
            QTest::newRow(tag) << QString(number) << QString(unrecognized) << lookupsOn << lookedUp
                               << QString("CALL_:,%1,%2,,,,,").arg(number, name);
        };
        row("lookups off", "12345678", "-", false, false);
        row("Secret number", "Secret number", "-", true, false);
        row("Secret number again", "Secret number", "", true, false);
        row("unrecognised, no name", "12345678", "", true, true);
        row("unrecognised, blank name", "12345678", "   ", true, true);
        row("unrecognised, named", "12345678", "Unidentified", true, false, "Unidentified");
        row("quotes bound", "' OR '1'='1", "-", true, true);
        // Never the named contact whose home phone is an empty text.
        row("number not sent", "", "-", true, false);
    }
    void lookupRule() {
        QFETCH(QString, number);
        QFETCH(QString, unrecognized);
        QFETCH(bool, lookupsOn);
        QFETCH(bool, lookedUp);
        Logger l;
        l.lookupsOn = lookupsOn;
        // Null, not empty, for a nameless row; and a contact as an import leaves it: a name,
        // an empty phone and an empty Unrecognized.
        l.db.exec(
            "INSERT INTO tblContacts (FullName, HomePhone, Unrecognized) "
            "VALUES('No Numbers', '', '')");
        if (unrecognized != "-")
            l.db.exec("INSERT INTO tblContacts (FullName, Unrecognized) VALUES(?, ?)",
                      {unrecognized.isEmpty() ? QVariant() : QVariant(unrecognized), number});
        l.call(number);

        QTEST(l.sent.join('\n'), "line");
        QCOMPARE(l.lookups.size(), lookedUp ? 1 : 0);
        const QString where = " FROM tblContacts WHERE Unrecognized = ? AND ID > 1";
        QCOMPARE(l.value("SELECT COUNT(*) AS v" + where, {number}), "1");
        const QString contactId = l.value("SELECT ID AS v" + where, {number});
        QCOMPARE(l.record.value(CallField::ContactId), contactId);
        if (lookedUp)
            QCOMPARE(l.lookups.first()[CallField::ContactId], contactId);
    }

    // Rings go to the row of the call the record holds, never to the newest row, which an
    // earlier run or another program may have written.
    void ringsGoToTheirCall() {
        Logger l;
        l.db.exec("INSERT INTO tblCalls (ContactID, CallRings) VALUES(7, 2), (7, 5)");
        l.call("12345678");
        QCOMPARE(l.record.value(CallField::CallId), "3");
        l.db.exec("INSERT INTO tblCalls (ContactID, CallRings) VALUES(7, 9)");
        l.ring();
        l.ring();
        QCOMPARE(l.value("SELECT group_concat(CallRings) AS v FROM tblCalls"), "2,5,2,9");
    }

    void totalCallsCountFromTheNumberStored_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("raised");
        const auto row = [](const char *stored, const char *raised) {
            QTest::newRow(stored) << QString(stored) << QString(raised);
        };
        row("4", "5");
        row("'5'", "6");
        row("2.5", "3");
        row("NULL", "1");
        row("''", "1");
        row("'many'", "1");
    }
    void totalCallsCountFromTheNumberStored() {
        QFETCH(QString, stored);
        Logger l;
        l.db.exec("INSERT INTO tblContacts (MobilePhone, TotalCalls) VALUES('1', " + stored + ")");
        l.call("1");
        QTEST(l.value("SELECT TotalCalls AS v FROM tblContacts"), "raised");
        QCOMPARE(l.sent.size(), 1);
    }

    // The phone rings now: a call the database does not take is announced at once, waits
    // with its own time and rings, and is stored in order once the database takes it.
    void callsWaitForTheDatabase_data() {
        QTest::addColumn<bool>("locked");  // by another program; else a trigger refuses
        QTest::addColumn<QString>("reason");
        QTest::newRow("locked") << true << "locked by another program";
        QTest::newRow("refused") << false << "no";
    }
    void callsWaitForTheDatabase() {
        QFETCH(bool, locked);
        QFETCH(QString, reason);
        Logger l;
        l.db.exec("INSERT INTO tblContacts (FullName, MobilePhone) VALUES('Anna', '22222222')");
        l.call("11111111");
        const QString before = l.dump("tblContacts");
        SQLite::Database other(l.env.filePath("calls.db").toStdString(), SQLite::OPEN_READWRITE);
        if (locked)
            other.exec("BEGIN IMMEDIATE");
        for (const char *change : {"INSERT", "UPDATE"}) {
            if (!locked)
                l.db.exec(QStringLiteral("CREATE TRIGGER no%1 BEFORE %1 ON tblCalls BEGIN SELECT "
                                         "RAISE(ABORT, 'no'); END")
                              .arg(change));
        }

        l.ring();  // of the stored call
        l.call("33333333");
        l.ring();
        l.ring();
        l.call("22222222");
        QCOMPARE(l.sent, (QStringList{"CALL_:,11111111,,,,,,", "CALL_:,33333333,,,,,,",
                                      "CALL_:,22222222,Anna,,22222222,,,"}));
        QTRY_COMPARE(l.reports, QStringList{"Database: " + reason +
                                            "; the rings of 1 call waiting to be stored."});
        QCOMPARE(l.logger.waitingCount(), 3);
        QCOMPARE(l.dump("tblContacts"), before);
        QCOMPARE(l.dump("tblCalls"), "1|2|'2024-03-05 14:07:09'|0|'11111111'");
        QCOMPARE(l.record.value(CallField::CallId), "0");

        QSignalSpy stored(&l.logger, &CallLogger::waitingCallsStored);
        if (locked)
            other.exec("ROLLBACK");
        else
            other.exec("DROP TRIGGER noINSERT; DROP TRIGGER noUPDATE");
        QVERIFY(stored.wait());
        QCOMPARE(l.logger.waitingCount(), 0);
        QTRY_COMPARE(l.reports.last(), "Database: the 2 waiting calls are stored.");
        QCOMPARE(l.dump("tblCalls"),
                 "1|2|'2024-03-05 14:07:09'|1|'11111111'\n"
                 "2|3|'2024-03-05 14:07:09'|2|'33333333'\n"
                 "3|1|'2024-03-05 14:07:09'|0|'22222222'");
        // Only the call the record shows is looked up; 33333333 waited behind a newer call.
        QCOMPARE(l.lookups.size(), 1);
        QCOMPARE(l.lookups.first()[CallField::Number], "11111111");
        QCOMPARE(l.value("SELECT group_concat(TotalCalls) AS v FROM tblContacts"), "1,1,1");
        // The record now holds the stored row, and its rings go there.
        QCOMPARE(l.record.value(CallField::CallId), "3");
        l.ring();
        QCOMPARE(l.value("SELECT CallRings AS v FROM tblCalls WHERE ID = 3"), "1");
        QCOMPARE(l.reports.size(), 2);
    }

    // A port opens after a run that was killed with it open, is refused to a second program
    // while the first has it, and opens for the second once the first has closed it. Every
    // byte is one Latin-1 character, also those no call uses.
    void portOpensForOneProgramAtATime() {
        test::PseudoTerminal pty;
        QVERIFY(openAndDie(pty.slavePath()));
        auto first = std::make_unique<Port>();
        QVERIFY2(first->device.open("COM1", pty.slavePath()),
                 qPrintable(first->reports.join('\n')));
        Port second;
        QVERIFY(!second.device.open("COM1", pty.slavePath()));
        QCOMPARE(second.reports, QStringList{"Serial port: Cannot open COM1: it is in use by "
                                             "another program. Trying again every 0.01 s."});
        first.reset();
        QTRY_VERIFY(second.device.isOpen());
        const QByteArray bytes("A1#R\xe6\x00\xff", 7);
        QVERIFY(pty.write(bytes));
        QTRY_COMPARE(second.received, QString::fromLatin1(bytes));
    }

    void portIsReportedOnceAndReopened_data() {
        QTest::addColumn<QString>("report");  // %1: the device path
        QTest::newRow("missing at open") << "Cannot open %1: No such file or directory.";
        QTest::newRow("lost while open")
            << "%1 was lost: the device hung up or its other side closed.";
    }
    void portIsReportedOnceAndReopened() {
        QFETCH(QString, report);
        test::TempEnvironment env;
        const QString path = env.filePath("ttyCallerId");
        Port port;
        if (QTest::currentDataTag() == QByteArray("lost while open")) {
            auto first = std::make_unique<test::PseudoTerminal>();
            QVERIFY(pointTo(path, *first));
            QVERIFY(port.device.open(path, path));
            QVERIFY(first->write("A1#"));
            QTRY_COMPARE(port.received, "A1#");
            first.reset();
            QFile::remove(path);  // its number may soon be another terminal's
            QTRY_COMPARE(port.reports.size(), 1);
        } else {
            QVERIFY(!port.device.open(path, path));
        }
        QCOMPARE(port.reports,
                 QStringList{"Serial port: " + report.arg(path) + " Trying again every 0.01 s."});
        QSignalSpy retries(port.retryTimer(), &QTimer::timeout);
        QTRY_VERIFY(retries.size() >= 3);

        test::PseudoTerminal second;
        QVERIFY(pointTo(path, second));
        QTRY_VERIFY(port.device.isOpen());
        QVERIFY(second.write("A2#R"));
        QTRY_VERIFY(port.received.endsWith("A2#R"));
        QCOMPARE(port.reports.size(), 2);
        QCOMPARE(port.reports.last(), "Serial port: " + path + " open.");
    }

    void permissionAdviceNamesTheDevicesGroup() {
        test::TempEnvironment env;
        const QString device = env.filePath("ttyCallerId");
        QVERIFY(QFile(device).open(QIODevice::WriteOnly));
        QVERIFY(QFile::setPermissions(
            device, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup));
        const group *dialout = ::getgrnam("dialout");
        if (!dialout || ::chown(QFile::encodeName(device).constData(), -1, dialout->gr_gid) != 0)
            QSKIP("The test cannot give a file to the group dialout here.");
        QVERIFY2(deviceGroupAdvice(device).startsWith(
                     "The user running the server must be in the group \"dialout\" that owns "
                     "the device (sudo usermod -aG dialout "),
                 qPrintable(deviceGroupAdvice(device)));
        const QString unnamed =
            "The user running the server must be in the group that owns the device (dialout on "
            "Debian), then log in again.";
        QCOMPARE(deviceGroupAdvice(env.filePath("missing")), unnamed);
        QVERIFY(QFile::setPermissions(device, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(deviceGroupAdvice(device), unnamed);  // the group may not read it
    }

    void closeStopsRetrying() {
        test::TempEnvironment env;
        Port port;
        QVERIFY(!port.device.open("COM5", env.filePath("ttyCallerId")));
        QVERIFY(port.retryTimer()->isActive());
        port.device.close();
        QVERIFY(!port.retryTimer()->isActive());
    }
};

QTEST_GUILESS_MAIN(IntakeTest)
#include "intake_test.moc"
