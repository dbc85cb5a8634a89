#include <QtTest>

#include "intake/modem_lines.h"
#include "intake/router_calls.h"
#include "intake/router_lines.h"

using namespace ringwise;

namespace {

// What the lines asked for, one entry per step that asked anything: the characters, or
// "rings N of S" (the serial of a call is its connection id plus 100).
QStringList steps(const QByteArray &bytes) {
    ModemLineParser lines(kLongestRouterLine);
    RouterCalls calls;
    QStringList asked;
    for (const QString &text : lines.feed(bytes)) {
        const RouterLine line = parseRouterLine(text, QStringLiteral("45"));
        const RouterStep step = calls.HandleLine(line);
        if (!step.characters.isEmpty()) {
            asked << step.characters;
            calls.noteLogged(line.connectionId, quint64(line.connectionId + 100));
        }
        if (step.ringsOf)
            asked << QStringLiteral("rings %1 of %2").arg(step.rings).arg(*step.ringsOf);
    }
    return asked;
}

}  // namespace

class RouterTest : public QObject {
    Q_OBJECT

private slots:
    void lines_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("event");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("number");
        const auto row = [](const char *name, const char *line, RouterEvent event, int id,
                            const char *number) {
            QTest::newRow(name) << QString::fromLatin1(line) << int(event) << id
                                << QString::fromLatin1(number);
        };
        row("RING", "07.12.26 18:20:59;RING;0;22334455;87654321;SIP0;", RouterEvent::Ring, 0,
            "22334455");
        row("RING international", "07.12.26 18:20:59;RING;2;004522334455;87654321;SIP0;",
            RouterEvent::Ring, 2, "22334455");
        row("RING plus, no trailing ;", "07.12.26 18:20:59;RING;1;+46 8 123;87654321;SIP0",
            RouterEvent::Ring, 1, "00468123");
        row("RING withheld", "07.12.26 18:20:59;RING;0;;87654321;SIP0;", RouterEvent::Ring, 0, "");
        row("blanks in fields", " 07.12.26 18:20:59 ; RING ; 3 ; 22 33 44 55 ;x;",
            RouterEvent::Ring, 3, "22334455");
        row("CONNECT", "07.12.26 18:21:03;CONNECT;0;4;22334455;", RouterEvent::Connect, 0, "");
        row("DISCONNECT", "07.12.26 18:21:40;DISCONNECT;0;37;", RouterEvent::Disconnect, 0, "");
        row("CALL", "07.12.26 18:22:10;CALL;1;4;87654321;004922334455;SIP0;", RouterEvent::Call, 1,
            "");
        row("unknown event", "07.12.26 18:22:10;HOLD;1;", RouterEvent::Other, -1, "");
        row("no connection id", "07.12.26 18:22:10;RING;x;22334455;", RouterEvent::Other, -1, "");
        row("too few fields", "07.12.26 18:22:10;RING", RouterEvent::Other, -1, "");
    }
    void lines() {
        QFETCH(QString, line);
        const RouterLine parsed = parseRouterLine(line, QStringLiteral("45"));
        QTEST(int(parsed.event), "event");
        QTEST(parsed.connectionId, "id");
        QTEST(parsed.number, "number");
    }

    void calls_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("asked");
        const QByteArray ring = "07.12.26 18:20:59;RING;0;22334455;87654321;SIP0;\r\n";
        QTest::newRow("answered after 14 s")
            << ring +
                   "07.12.26 18:21:13;CONNECT;0;4;22334455;\r\n07.12.26 18:21:40;DISCONNECT;0;27;\n"
            << QStringList{"A22334455#", "rings 2 of 100"};
        QTest::newRow("unanswered, across midnight")
            << QByteArray(
                   "07.12.26 23:59:50;RING;0;;87654321;SIP0;\n"
                   "08.12.26 00:00:21;DISCONNECT;0;0;\n")
            << QStringList{"D#", "rings 6 of 100"};
        QTest::newRow("answered at once is 1 ring")
            << ring + "07.12.26 18:21:00;CONNECT;0;4;22334455;\n"
            << QStringList{"A22334455#", "rings 1 of 100"};
        QTest::newRow("two calls overlapping")
            << ring +
                   "07.12.26 18:21:01;RING;1;33445566;87654321;SIP0;\n"
                   "07.12.26 18:21:21;CONNECT;1;4;33445566;\n"
                   "07.12.26 18:21:29;DISCONNECT;0;0;\n"
            << QStringList{"A22334455#", "A33445566#", "rings 4 of 101", "rings 6 of 100"};
        QTest::newRow("outgoing asks nothing")
            << QByteArray(
                   "07.12.26 18:22:10;CALL;1;4;87654321;004922334455;SIP0;\n"
                   "07.12.26 18:22:15;CONNECT;1;4;004922334455;\n"
                   "07.12.26 18:22:30;DISCONNECT;1;15;\n")
            << QStringList{};
        QTest::newRow("partial line, bytes above 127, unknown event")
            << QByteArray("07.12.26 18:20:59;RI") +
                   "NG;0;22334455;\xE6\xF8\xFF;SIP0;\n"
                   "07.12.26 18:21:00;WHATEVER;0;\n07.12.26 18:21:10;CONNECT;0;4;"
            << QStringList{"A22334455#"};
        QTest::newRow("line over 512 bytes dropped")
            << "07.12.26 18:20:59;RING;0;22334455;" + QByteArray(500, 'x') + ";\n" + ring
            << QStringList{"A22334455#"};
    }
    void calls() {
        QFETCH(QByteArray, bytes);
        QTEST(steps(bytes), "asked");
    }

    void burstOfLines() {
        QByteArray bytes;
        for (int i = 0; i < 500; ++i)
            bytes += "07.12.26 18:20:59;RING;0;22334455;;SIP0;\n07.12.26 18:21:09;CONNECT;0;4;;\n";
        QCOMPARE(steps(bytes).size(), 1000);
    }
};

QTEST_GUILESS_MAIN(RouterTest)
#include "router_test.moc"
