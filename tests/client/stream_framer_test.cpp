#include <QtTest>

#include "client/stream_framer.h"

using namespace ringwise;

namespace {

// Feeds the stream in the given pieces; the messages complete after them, and the rest.
QStringList frame(const QList<QByteArray> &pieces, const QString &expected, QString *rest) {
    StreamFramer framer;
    if (!expected.isEmpty())
        framer.expect(expected);
    QStringList messages;
    for (const QByteArray &piece : pieces)
        messages += framer.feed(piece);
    *rest = framer.takePending();
    return messages;
}

}  // namespace

class StreamFramerTest : public QObject {
    Q_OBJECT

private slots:
    void splitAndMergedAtEveryByte_data() {
        QTest::addColumn<QList<QByteArray>>("messages");
        QTest::addColumn<QString>("expected");  // a text the reader waits for
        // Whether the last message is known to be whole before anything follows it.
        QTest::addColumn<bool>("lastEndsByItself");

        const QByteArray greeting = "Welcome to Ringwise Server [0.92]";
        QTest::newRow("greeting, password accepted")
            << QList<QByteArray>{greeting, "Password accepted."} << QString() << true;
        QTest::newRow("greeting, wrong password")
            << QList<QByteArray>{greeting, "Invalid password."} << QString() << true;
        QTest::newRow("greeting, deadline")
            << QList<QByteArray>{greeting, "Password not received. Disconnecting."} << QString()
            << true;
        QTest::newRow("call, then its naming in Latin-1")
            << QList<QByteArray>{"CALL_:,87654321,,,,,,",
                                 "CALL_:,87654321,S\xF8ren O'Hara (New),,,,,"}
            << QString() << false;
        QTest::newRow("negative ping between calls")
            << QList<QByteArray>{"CALL_:,1,,,,,,", "PING_:-2147483000", "CALL_:,2,Holm, Karen,,,,,"}
            << QString() << false;
        QTest::newRow("statistics answer, then the end mark")
            << QList<QByteArray>{"STATS:LAST;5#, Karen Holm , 2026-12-06 20:15:04 , 04512345 ",
                                 "STATS:ENDX;42"}
            << QStringLiteral("STATS:ENDX;42") << true;
        QTest::newRow("call inside an answer's wait, then the end mark")
            << QList<QByteArray>{"CNTAC:SEAR;None,3,5", "CALL_:,4,,,,,,", "STATS:ENDX;7"}
            << QStringLiteral("STATS:ENDX;7") << true;
        QTest::newRow("contact answers back to back")
            << QList<QByteArray>{"CNTAC:SEAR;Karen Holm,,,,,,3,3",
                                 "CNTAC:SAVE;New record saved succesfully."}
            << QString() << false;
    }

    void splitAndMergedAtEveryByte() {
        QFETCH(QList<QByteArray>, messages);
        QFETCH(QString, expected);
        QFETCH(bool, lastEndsByItself);
        QStringList wanted;
        QByteArray stream;
        for (const QByteArray &message : messages) {
            wanted.append(QString::fromLatin1(message));
            stream += message;
        }
        QStringList whole = wanted;
        const QString last = lastEndsByItself ? QString() : whole.takeLast();

        for (qsizetype at = 0; at <= stream.size(); ++at) {
            QString rest;
            const QStringList got = frame({stream.left(at), stream.mid(at)}, expected, &rest);
            QVERIFY2(got == whole, qPrintable(QStringLiteral("split at %1").arg(at)));
            QCOMPARE(rest, last);
        }
        QList<QByteArray> bytes;
        for (char byte : stream)
            bytes.append(QByteArray(1, byte));
        QString rest;
        QCOMPARE(frame(bytes, expected, &rest), whole);
        QCOMPARE(rest, last);
    }
};

QTEST_APPLESS_MAIN(StreamFramerTest)
#include "stream_framer_test.moc"
