// SPDX-License-Identifier: GPL-3.0-or-later
#include <QtTest>

#include "intake/modem_lines.h"
#include "intake/router_calls.h"
#include "intake/router_lines.h"

using namespace ringwise;

namespace {

const QByteArray kRing = "07.12.26 18:20:59;RING;0;22334455;87654321;SIP0;\r\n";

// What the call monitor's bytes ask for, one entry per step that asks anything: the
// characters, or "rings N of S" (the serial a call is logged under is its connection id
// plus 100).
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
    void calls_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("asked");
        QTest::newRow("answered after 14 s") << kRing +
                                                    "07.12.26 18:21:13;CONNECT;0;4;22334455;\r\n"
                                                    "07.12.26 18:21:40;DISCONNECT;0;27;\n"
                                             << QStringList{"A22334455#", "rings 2 of 100"};
        QTest::newRow("withheld, unanswered, across midnight")
            << QByteArray(
                   "07.12.26 23:59:50;RING;0;;87654321;SIP0;\n"
                   "08.12.26 00:00:21;DISCONNECT;0;0;\n")
            << QStringList{"D#", "rings 6 of 100"};
        QTest::newRow("answered at once is 1 ring")
            << kRing + "07.12.26 18:21:00;CONNECT;0;4;22334455;\n"
            << QStringList{"A22334455#", "rings 1 of 100"};
        QTest::newRow("two calls overlapping")
            << kRing +
                   "07.12.26 18:21:01;RING;1;33445566;87654321;SIP0;\n"
                   "07.12.26 18:21:21;CONNECT;1;4;33445566;\n"
                   "07.12.26 18:21:29;DISCONNECT;0;0;\n"
            << QStringList{"A22334455#", "A33445566#", "rings 4 of 101", "rings 6 of 100"};
        QTest::newRow("number forms, blanks, no trailing ;")
            << QByteArray(
                   "07.12.26 18:20:59;RING;0;004522334455;87654321;SIP0;\n"
                   "07.12.26 18:20:59;RING;1;+46 8 123;87654321;SIP0\n"
                   " 07.12.26 18:20:59 ; ring ; 2 ; 22 33 44 55 ;x\n")
            << QStringList{"A22334455#", "A00468123#", "A22334455#"};
        QTest::newRow("outgoing asks nothing")
            << QByteArray(
                   "07.12.26 18:22:10;CALL;1;4;87654321;004922334455;SIP0;\n"
                   "07.12.26 18:22:15;CONNECT;1;4;004922334455;\n"
                   "07.12.26 18:22:30;DISCONNECT;1;15;\n")
            << QStringList{};
        QTest::newRow("not events: unknown name, no id, too few fields")
            << QByteArray(
                   "07.12.26 18:22:10;HOLD;1;\n07.12.26 18:22:10;RING;x;22334455;\n"
                   "07.12.26 18:22:10;RING\n")
            << QStringList{};
        QTest::newRow("partial line, bytes above 127") << QByteArray("07.12.26 18:20:59;RI") +
                                                              "NG;0;22334455;\xE6\xF8\xFF;SIP0;\n"
                                                              "07.12.26 18:21:10;CONNECT;0;4;"
                                                       << QStringList{"A22334455#"};
        QTest::newRow("line over 512 bytes dropped")
            << "07.12.26 18:20:59;RING;0;22334455;" + QByteArray(500, 'x') + ";\n" + kRing
            << QStringList{"A22334455#"};
        QByteArray burst;
        QStringList asked;
        for (int call = 0; call < 500; ++call) {
            burst += kRing + "07.12.26 18:21:09;CONNECT;0;4;;\n";
            asked << "A22334455#"
                  << "rings 2 of 100";
        }
        QTest::newRow("1,000 lines at once") << burst << asked;
    }
    void calls() {
        QFETCH(QByteArray, bytes);
        QTEST(steps(bytes), "asked");
    }
};

QTEST_GUILESS_MAIN(RouterTest)
#include "router_test.moc"
