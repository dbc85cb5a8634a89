// SPDX-License-Identifier: GPL-3.0-or-later
#include <QtTest>
#include <climits>

#include "intake/modem_calls.h"
#include "intake/modem_device.h"
#include "intake/modem_lines.h"
#include "support/fake_modem.h"
#include "support/pseudo_terminal.h"

using namespace ringwise;

Q_DECLARE_METATYPE(ringwise::ModemLineKind)

namespace {

const QStringList kInitialisation = {"ATZ", "AT+VCID=1"};

// A modem driver on a pseudo-terminal with short intervals; what it shows, hands on and
// reports is collected.
struct Modem {
    explicit Modem(int answerMs = 2000, int callWindowMs = 5000)
        : device(
              [this](const QString &line) { shown << line; },
              [this](const QString &characters) { calls << characters; },
              [this](const QString &title, const QString &text) { reports << title + ": " + text; },
              [] { return qint32(1000); }, ModemTimings{answerMs, 20, callWindowMs}) {}
    bool open(const QStringList &extra = {}) {
        return device.open(pty.slavePath(), pty.slavePath(), ModemDevice::kDefaultBaudRate, extra,
                           "45");
    }
    test::PseudoTerminal pty;
    test::FakeModem modem{pty};
    QStringList shown;
    QStringList calls;
    QStringList reports;
    ModemDevice device;
};

}  // namespace

class ModemTest : public QObject {
    Q_OBJECT

private slots:
    void lines_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        const QString longest(ModemLineParser::kLongestLine, 'x');
        QTest::newRow("RING CR LF") << QByteArray("RING\r\n") << QStringList{"RING"};
        QTest::newRow("CR only") << QByteArray("RING\rNMBR=1\r") << QStringList{"RING", "NMBR=1"};
        QTest::newRow("LF only") << QByteArray("RING\nNMBR=1\n") << QStringList{"RING", "NMBR=1"};
        QTest::newRow("blank lines between")
            << QByteArray("\r\n\r\nDATE = 1206\r\n\r\n\r\nTIME = 2015\r\n")
            << QStringList{"DATE = 1206", "TIME = 2015"};
        QTest::newRow("no end yet") << QByteArray("RING\r\nNMBR = 12") << QStringList{"RING"};
        QTest::newRow("bytes above 127") << QByteArray("NAME = S\xF8REN \xFF\x80\r\n")
                                         << QStringList{"NAME = S\u00F8REN \u00FF\u0080"};
        QTest::newRow("256 characters kept") << longest.toLatin1() + "\r\n" << QStringList{longest};
        QTest::newRow("257 characters dropped") << longest.toLatin1() + "y\r\nRING\r\n"
                                                << QStringList{"RING"};
        QTest::newRow("300 characters dropped whole") << QByteArray(300, 'z') + "\nRING\n"
                                                      << QStringList{"RING"};
        QTest::newRow("garbage and NUL")
            << QByteArray("\x01\x02~~\0\x1b[0m\r\nRING\r\n", 17)
            << QStringList{QString::fromLatin1("\x01\x02~~\0\x1b[0m", 9), "RING"};
    }
    // Whole, and one byte at a time as a slow port delivers it.
    void lines() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(ModemLineParser().feed(bytes), lines);
        ModemLineParser parser;
        QStringList oneByOne;
        for (const char byte : bytes)
            oneByOne += parser.feed(QByteArray(1, byte));
        QCOMPARE(oneByOne, lines);
    }

    // The modem's number forms, as the home country 45 (or the row's) reads them; the lines
    // the call rows below hand on are not repeated here.
    void classify_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("countryCode");
        QTest::addColumn<ModemLineKind>("kind");
        QTest::addColumn<QString>("number");
        const auto row = [](const char *line, ModemLineKind kind, const char *number = "",
                            const char *countryCode = "45") {
            QTest::newRow(line) << QString::fromLatin1(line) << QString(countryCode) << kind
                                << QString(number);
        };
        row("  ring ", ModemLineKind::Ring);
        row("error", ModemLineKind::Error);
        row("NMBR = +45 22 33 44 55", ModemLineKind::Number, "22334455");
        row("NMBR = 0045 22334455", ModemLineKind::Number, "22334455");
        row("NMBR = 22-33-44-55", ModemLineKind::Number, "22334455");
        row("NMBR = +46 8 123", ModemLineKind::Number, "00468123");
        row("NMBR = +46 8 123 in Sweden", ModemLineKind::Number, "8123", "46");
        row("NMBR = 4522334455", ModemLineKind::Number, "4522334455");
        row("  nmbr =  0045 ", ModemLineKind::NoNumber);
        row("NMBR = PRIVATE", ModemLineKind::NoNumber);
        row("NMBR = + -", ModemLineKind::NoNumber);
        row("NMBR =", ModemLineKind::NoNumber);
        row("NAME = JENS HANSEN", ModemLineKind::Other);
        row("NAME = NMBR=1", ModemLineKind::Other);
        row("AT+VCID=1", ModemLineKind::Other);
        row("RINGRING", ModemLineKind::Other);
        row("\xFF\xFE RING", ModemLineKind::Other);
    }
    void classify() {
        QFETCH(QString, line);
        QFETCH(QString, countryCode);
        QFETCH(ModemLineKind, kind);
        QFETCH(QString, number);
        QCOMPARE(classifyModemLine(line, countryCode), (ModemLine{kind, number}));
    }

    // Each step is "tick line"; "end" is the call window's timer going off.
    void calls_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("characters");
        QTest::addColumn<bool>("holding");
        const auto row = [](const char *name, const QStringList &steps, const char *characters,
                            bool holding = false) {
            QTest::newRow(name) << steps << QString(characters) << holding;
        };
        row("block then rings",
            {"0 DATE = 1206", "1 TIME = 2015", "2 NMBR = 12345678", "3 NAME = JENS", "900 RING",
             "6000 RING"},
            "A12345678#RR");
        row("RING before the block",
            {"0 RING", "500 DATE = 1206", "600 NMBR = 12345678", "5000 RING"}, "A12345678#RR");
        row("two RINGs before the block", {"0 RING", "4000 RING", "4500 NMBR = 1"}, "A1#RR");
        row("withheld", {"0 RING", "500 NMBR = P"}, "D#R");
        row("not available", {"0 NMBR = O", "10 RING"}, "D#R");
        row("RING waiting for its number", {"0 RING"}, "", true);
        row("RING and no block within the window", {"0 RING", "end", "5000 RING"}, "D#RR");
        row("window passed, timer late", {"0 RING", "6000 RING"}, "D#RR");
        row("number after the window is another call", {"0 RING", "7000 NMBR = 2"}, "D#RA2#");
        row("block cut off by a new RING", {"0 DATE = 1206", "10 TIME = 2015", "20 RING", "end"},
            "D#R");
        row("next call after a silence", {"0 NMBR = 1", "100 RING", "60000 RING", "60500 NMBR = 2"},
            "A1#RA2#R");
        row("block repeated while ringing",
            {"0 NMBR = 22334455", "900 RING", "5000 DATE = 1206", "5001 NMBR = +4522334455",
             "6000 RING"},
            "A22334455#RR");
        row("withheld block repeated", {"0 NMBR = P", "100 RING", "5000 NMBR = P"}, "D#R");
        row("another number while ringing is another caller",
            {"0 NMBR = 1", "100 RING", "3000 NMBR = 2", "4000 RING"}, "A1#RA2#R");
        row("echoed commands and answers", {"0 ATZ", "1 OK", "2 RING", "3 NMBR=7"}, "A7#R");
        row("tick count wraps",
            {QString::number(INT_MAX - 100) + " RING",
             QString::number(INT_MIN + 100) + " NMBR = 5"},
            "A5#R");
    }
    void calls() {
        QFETCH(QStringList, steps);
        ModemCalls calls(6000);
        QString handed;
        for (const QString &step : steps) {
            if (step == "end") {
                handed += calls.endCallWindow();
                continue;
            }
            const qsizetype blank = step.indexOf(' ');
            handed += calls.HandleLine(classifyModemLine(step.mid(blank + 1), "45"),
                                       step.left(blank).toInt());
        }
        QTEST(handed, "characters");
        QTEST(calls.isHoldingRings(), "holding");
    }

    void initialisation_data() {
        QTest::addColumn<QStringList>("extra");  // the commands of ServerModemInit
        QTest::addColumn<bool>("vcidError");
        QTest::addColumn<bool>("echo");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("OK to everything") << QStringList() << false << false << kInitialisation;
        QTest::newRow("echo on, ERROR to AT+VCID=1, extra ATS0=0;AT+FCLASS=8;ATH0")
            << QStringList{"ATS0=0", "AT+FCLASS=8", "ATH0"} << true << true
            << kInitialisation + QStringList{"AT#CID=1", "ATS0=0", "AT+FCLASS=8", "ATH0"};
    }
    void initialisation() {
        QFETCH(QStringList, extra);
        QFETCH(bool, vcidError);
        QFETCH(bool, echo);
        Modem m;
        QVERIFY(m.pty.isValid());
        if (vcidError)
            m.modem.queueAnswer("AT+VCID=1", "ERROR");
        m.modem.setEcho(echo);
        QVERIFY(m.open(extra));
        QTRY_VERIFY(m.device.isReady());
        QTEST(m.modem.commands(), "commands");
        QCOMPARE(m.reports, QStringList());
        QVERIFY(m.shown.contains("OK"));
        QVERIFY(!m.shown.join('\n').contains("Blocked"));  // no hang-up of a blocked call
        QCOMPARE(m.calls, QStringList());
    }

    // The caller redials at once (the tick count stands still): after the hang-up the same
    // number is a call of its own, hung up on again.
    void hangUpEndsTheCall() {
        Modem m;
        QVERIFY(m.open());
        QTRY_VERIFY(m.device.isReady());
        const QString call = "A22334455#R";
        for (const QStringList &calls : {QStringList{call}, QStringList{call, call}}) {
            QVERIFY(m.pty.write("RING\r\nNMBR = 22334455\r\n"));
            QTRY_COMPARE(m.calls, calls);
            m.device.hangUp("22334455", 10);
            QTRY_COMPARE(m.shown.count("Blocked 22334455: hung up."), calls.size());
        }
        QCOMPARE(m.modem.commands(),
                 kInitialisation + QStringList({"ATH1", "ATH0", "ATH1", "ATH0"}));
        QCOMPARE(m.reports, QStringList());
    }

    void lonelyRingIsACallWithoutItsNumberOnceTheWindowPasses() {
        Modem m(2000, 30);
        QVERIFY(m.open());
        QTRY_VERIFY(m.device.isReady());
        QVERIFY(m.pty.write("RING\r\n"));
        QTRY_COMPARE(m.calls, QStringList{"D#R"});
    }

    void silentModemIsReportedOnceAndRetriedUntilItAnswers() {
        Modem m(30);
        m.modem.setSilent(true);
        QVERIFY(m.open());
        QTRY_VERIFY(m.modem.commands().count("ATZ") >= 3);
        QCOMPARE(m.reports,
                 QStringList{"Serial port: the modem on " + m.pty.slavePath() +
                             " does not answer ATZ within 0.03 s. Trying again every 0.02 s."});
        QCOMPARE(m.modem.commands().count("AT+VCID=1"), 0);
        m.modem.setSilent(false);
        QTRY_VERIFY(m.device.isReady());
        QCOMPARE(m.reports.size(), 1);
    }

    void closeStopsRetrying() {
        Modem m(30);
        m.modem.setSilent(true);
        QVERIFY(m.open());
        QTRY_COMPARE(m.reports.size(), 1);
        m.device.close();
        const QList<QTimer *> timers = m.device.findChildren<QTimer *>();
        QVERIFY(timers.size() >= 3);  // the answer, the call window, the port's retry
        for (const QTimer *timer : timers)
            QVERIFY(!timer->isActive());
    }
};

QTEST_GUILESS_MAIN(ModemTest)
#include "modem_test.moc"
