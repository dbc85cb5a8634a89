#include <QSignalSpy>
#include <QtTest>

#include "db/database_error.h"
#include "intake/call_events.h"
#include "intake/call_record.h"
#include "intake/device_output.h"
#include "intake/device_parser.h"

using namespace ringwise;

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 7, 9));
const QString kNowText = QStringLiteral("2024-03-05 14:07:09");

// Notes what the parser hands on, with the number or ring count of that moment, and
// fails on request as a broken database would.
class FakeCallEvents : public CallEvents {
public:
    explicit FakeCallEvents(const CallRecord &record) : m_record(record) {}

    void LogCall() override {
        log << QStringLiteral("LogCall ") + m_record.value(CallField::Number);
        if (failLogCall)
            throw DatabaseError(5, QStringLiteral("database is locked"));
    }
    void RecordRing() override {
        log << QStringLiteral("RecordRing ") + m_record.value(CallField::Rings);
        if (failRecordRing)
            throw DatabaseError(5, QStringLiteral("database is locked"));
    }

    QStringList log;
    bool failLogCall = false;
    bool failRecordRing = false;

private:
    const CallRecord &m_record;
};

struct Parser {
    CallRecord record;
    FakeCallEvents events{record};
    DeviceOutput output;
    DeviceParser parser{record, events, output, [] { return kNow; }};

    void feed(const QString &text) {
        for (const QChar character : text)
            parser.HandleDeviceText(character);
    }
};

}  // namespace

class DeviceParserTest : public QObject {
    Q_OBJECT

private slots:
    void grammar_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("callType");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("rings");
        QTest::addColumn<bool>("stamped");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("events");

        const QString in = QStringLiteral("Ingoing");
        QTest::newRow("A12345678#RRR")
            << "A12345678#RRR" << in << "12345678"
            << "3" << true << "\r\nA12345678#RRR"
            << QStringList{"LogCall 12345678", "RecordRing 1", "RecordRing 2", "RecordRing 3"};
        QTest::newRow("D555#") << "D555#" << in << "Secret number"
                               << "0" << true << "\r\nD555#"
                               << QStringList{"LogCall Secret number"};
        QTest::newRow("123") << "123"
                             << "0"
                             << ""
                             << "0" << false << "123" << QStringList{};
        QTest::newRow("A#") << "A#" << in << ""
                            << "0" << true << "\r\nA#" << QStringList{"LogCall "};
        QTest::newRow("R") << "R"
                           << "0"
                           << ""
                           << "1" << false << "R" << QStringList{"RecordRing 1"};
        QTest::newRow("A1#RRR CR LF R") << "A1#RRR\r\nR" << in << "1"
                                        << "4" << true << "\r\nA1#RRR\r\nR"
                                        << QStringList{"LogCall 1", "RecordRing 1", "RecordRing 2",
                                                       "RecordRing 3", "RecordRing 4"};
        QTest::newRow("A12#34") << "A12#34" << in << "1234"
                                << "0" << true << "\r\nA12#34" << QStringList{"LogCall 12"};
        QTest::newRow("A12#R#") << "A12#R#" << in << "12"
                                << "1" << true << "\r\nA12#R#"
                                << QStringList{"LogCall 12", "RecordRing 1", "LogCall 12"};
        QTest::newRow("a1d2r3") << "a1d2r3"
                                << "0"
                                << ""
                                << "0" << false << "a1d2r3" << QStringList{};
        QTest::newRow("A1\u00b22") << "A1\u00b22" << in << "12"
                                   << "0" << true << "\r\nA1\u00b22" << QStringList{};
        QTest::newRow("A12D34") << "A12D34" << in << "Secret number"
                                << "0" << true << "\r\nA12\r\nD34" << QStringList{};
    }
    void grammar() {
        QFETCH(QString, input);
        QFETCH(QString, callType);
        QFETCH(QString, number);
        QFETCH(QString, rings);
        QFETCH(bool, stamped);
        QFETCH(QString, output);
        QFETCH(QStringList, events);

        Parser p;
        p.feed(input);
        QCOMPARE(p.events.log, events);
        QCOMPARE(p.output.text(), output);
        QCOMPARE(p.record.value(CallField::CallType), callType);
        QCOMPARE(p.record.value(CallField::Number), number);
        QCOMPARE(p.record.value(CallField::Rings), rings);
        QCOMPARE(p.record.value(CallField::CallTime), stamped ? kNowText : QStringLiteral("0"));
    }

    void testCallFeedsTheTestLine() {
        Parser p;
        p.parser.feedTestCall();
        QCOMPARE(p.output.text(), QStringLiteral("\r\nA12345678#RRR"));
        QCOMPARE(p.events.log,
                 (QStringList{"LogCall 12345678", "RecordRing 1", "RecordRing 2", "RecordRing 3"}));
    }

    void failureResetsAndIsNotEchoed_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("events");

        QTest::newRow("A12# failing LogCall") << "A12#"
                                              << "LogCall"
                                              << "\r\nA12" << QStringList{"LogCall 12"};
        QTest::newRow("A12#5 failing LogCall") << "A12#5"
                                               << "LogCall"
                                               << "\r\nA125" << QStringList{"LogCall 12"};
        QTest::newRow("A1#R failing RecordRing")
            << "A1#R"
            << "RecordRing"
            << "\r\nA1#" << QStringList{"LogCall 1", "RecordRing 1"};
        QTest::newRow("R on rings x") << "R"
                                      << "rings"
                                      << "" << QStringList{};
    }
    void failureResetsAndIsNotEchoed() {
        QFETCH(QString, input);
        QFETCH(QString, failing);
        QFETCH(QString, output);
        QFETCH(QStringList, events);

        Parser p;
        p.events.failLogCall = failing == "LogCall";
        p.events.failRecordRing = failing == "RecordRing";
        if (failing == "rings")
            p.record.set(CallField::Rings, "x");
        p.feed(input);
        QCOMPARE(p.events.log, events);
        QCOMPARE(p.output.text(), output);
        QCOMPARE(p.record.fields(), CallFields());
    }

    void outputKeepsTheNewestPart_data() {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("appends");
        QTest::addColumn<QString>("kept");

        QTest::newRow("under the bound") << 8 << QStringList{"\r\n", "A1"} << "\r\nA1";
        QTest::newRow("at the bound") << 4 << QStringList{"\r\n", "A1"} << "\r\nA1";
        QTest::newRow("over the bound") << 4 << QStringList{"\r\n", "A1", "#"} << "\nA1#";
        QTest::newRow("one text longer than the bound")
            << 3 << QStringList{"A", "socket error 1"} << "r 1";
    }
    void outputKeepsTheNewestPart() {
        QFETCH(int, limit);
        QFETCH(QStringList, appends);
        QFETCH(QString, kept);

        DeviceOutput output(limit);
        QSignalSpy appended(&output, &DeviceOutput::appended);
        for (const QString &text : appends)
            output.append(text);
        QCOMPARE(output.text(), kept);
        QCOMPARE(appended.size(), appends.size());
        for (int i = 0; i < appends.size(); ++i)
            QCOMPARE(appended.at(i).at(0).toString(), appends.at(i));
    }

    void outputIsBoundedAt64KiB() {
        DeviceOutput output;
        const QString call = QStringLiteral("\r\nA12345678#RRR");
        for (int i = 0; i < 10000; ++i)
            output.append(call);
        QCOMPARE(output.text().size(), 64 * 1024);
        QVERIFY(output.text().endsWith(call));
    }
};

QTEST_APPLESS_MAIN(DeviceParserTest)
#include "device_parser_test.moc"
