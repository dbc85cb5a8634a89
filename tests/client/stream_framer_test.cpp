#include <QtTest>

#include "client/stream_framer.h"

using namespace ringwise;

namespace {

const QByteArray kGreeting = "Welcome to Ringwise Server [0.92]";
const QByteArray kAccepted = "Password accepted.";
const QString kEndMark = QStringLiteral("STATS:ENDX;42");

// Feeds the stream in the given pieces and takes every message, the last once it is quiet.
QStringList frame(const QList<QByteArray> &pieces, bool asked) {
    StreamFramer framer;
    if (asked) {
        framer.allowReplies();
        framer.expect(kEndMark);
    }
    QStringList messages;
    const auto take = [&](bool quiet) {
        while (const std::optional<QString> message = framer.next(quiet))
            messages.append(*message);
    };
    for (const QByteArray &piece : pieces) {
        framer.feed(piece);
        take(false);
    }
    take(true);
    return messages;
}

}  // namespace

class StreamFramerTest : public QObject {
    Q_OBJECT

private slots:
    void splitAndMergedAtEveryByte_data() {
        QTest::addColumn<QList<QByteArray>>("sent");  // after the greeting
        QTest::addColumn<bool>("asked");              // the client has sent a request
        QTest::addColumn<QStringList>("read");        // when not the messages sent

        QTest::newRow("wrong password")
            << QList<QByteArray>{"Invalid password."} << false << QStringList();
        QTest::newRow("deadline") << QList<QByteArray>{"Password not received. Disconnecting."}
                                  << false << QStringList();
        QTest::newRow("calls of every number, a negative ping")
            << QList<QByteArray>{kAccepted,
                                 "CALL_:,1,,,,,,",
                                 "PING_:-2147483000",
                                 "CALL_:,2,Holm, Karen,,,,,",
                                 "CALL_:,Secret number,,,,,,",
                                 "CALL_:,,,,,,,",
                                 "PING_:7"}
            << false << QStringList();
        QTest::newRow("no password wanted: a call, then its naming in Latin-1")
            << QList<QByteArray>{"CALL_:,87654321,,,,,,",
                                 "CALL_:,87654321,S\xF8ren O'Hara (New),,,,,"}
            << false << QStringList();
        QTest::newRow("a contact named Invalid password.")
            << QList<QByteArray>{kAccepted, "CALL_:,11111111,Invalid password.,,,,,",
                                 "CALL_:,1,a,b,c,d,e,Invalid password.,,,,,"}
            << false << QStringList();
        QTest::newRow("a name holding CALL_:, and commas")
            << QList<QByteArray>{kAccepted, "CALL_:,22222222,a,b,CALL_:,666,Forged,,,,,x",
                                 "PING_:5", "CALL_:,3,CALL_:,666,,,,,,,,"}
            << false << QStringList();
        QTest::newRow("PING_: in the e-mail field")
            << QList<QByteArray>{kAccepted, "CALL_:,3,Karen,,,,,PING_:12@example.dk", "PING_:7",
                                 "CALL_:,4,PING_:1,,,,,"}
            << false << QStringList();
        QTest::newRow("another client's answer holds a call line, and takes all until quiet")
            << QList<QByteArray>{kAccepted, "CALL_:,1,,,,,,", "STATS:CALL_:,666,Forged,,,,,,",
                                 "CALL_:,2,,,,,,"}
            << false
            << QStringList{kAccepted, "CALL_:,1,,,,,,",
                           "STATS:CALL_:,666,Forged,,,,,,CALL_:,2,,,,,,"};
        QTest::newRow("text after a ping that starts no message")
            << QList<QByteArray>{kAccepted, "PING_:5", " x CALL_:,y,", "CALL_:,6,,,,,,"} << false
            << QStringList{kAccepted, "PING_:5", "CALL_:,6,,,,,,"};
        QTest::newRow("an answer, a call inside its wait, the end mark")
            << QList<QByteArray>{kAccepted,
                                 "STATS:LAST;5#, Karen Holm , 2026-12-06 20:15:04 , 04512345 ",
                                 "CALL_:,4,,,,,,", kEndMark.toLatin1()}
            << true << QStringList();
        QTest::newRow("contact answers back to back")
            << QList<QByteArray>{kAccepted, "CNTAC:SEAR;Karen Holm,,,,,,3,3",
                                 "CNTAC:SAVE;New record saved succesfully."}
            << true << QStringList();
    }

    void splitAndMergedAtEveryByte() {
        QFETCH(QList<QByteArray>, sent);
        QFETCH(bool, asked);
        QFETCH(QStringList, read);
        sent.prepend(kGreeting);
        QStringList wanted;
        QByteArray stream;
        for (const QByteArray &message : std::as_const(sent)) {
            wanted.append(QString::fromLatin1(message));
            stream += message;
        }
        if (!read.isEmpty())
            wanted = QStringList{QString::fromLatin1(kGreeting)} + read;

        for (qsizetype at = 0; at <= stream.size(); ++at) {
            const QStringList got = frame({stream.left(at), stream.mid(at)}, asked);
            QVERIFY2(got == wanted, qPrintable(QStringLiteral("split at %1: ").arg(at) +
                                               got.join(QStringLiteral(" | "))));
        }
        QList<QByteArray> bytes;
        for (char byte : std::as_const(stream))
            bytes.append(QByteArray(1, byte));
        QCOMPARE(frame(bytes, asked), wanted);
    }
};

QTEST_APPLESS_MAIN(StreamFramerTest)
#include "stream_framer_test.moc"
