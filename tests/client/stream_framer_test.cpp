// SPDX-License-Identifier: GPL-3.0-or-later
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

        const auto row = [](const char *name, const QList<QByteArray> &sent, bool asked = false,
                            const QStringList &read = {}) {
            QTest::newRow(name) << sent << asked << read;
        };
        row("wrong password", {"Invalid password."});
        row("deadline", {"Password not received. Disconnecting."});
        row("calls of every number, a negative ping",
            {kAccepted, "CALL_:,1,,,,,,", "PING_:-2147483000", "CALL_:,2,Holm, Karen,,,,,",
             "CALL_:,Secret number,,,,,,", "CALL_:,,,,,,,", "PING_:7"});
        row("no password wanted: a call, then its naming in Latin-1",
            {"CALL_:,87654321,,,,,,", "CALL_:,87654321,S\xF8ren O'Hara (New),,,,,"});
        row("a contact named Invalid password.",
            {kAccepted, "CALL_:,11111111,Invalid password.,,,,,",
             "CALL_:,1,a,b,c,d,e,Invalid password.,,,,,"});
        row("a name holding CALL_:, and commas",
            {kAccepted, "CALL_:,22222222,a,b,CALL_:,666,Forged,,,,,x", "PING_:5",
             "CALL_:,3,CALL_:,666,,,,,,,,"});
        row("PING_: in the e-mail field", {kAccepted, "CALL_:,3,Karen,,,,,PING_:12@example.dk",
                                           "PING_:7", "CALL_:,4,PING_:1,,,,,"});
        row("another client's answer holds a call line, and takes all until quiet",
            {kAccepted, "CALL_:,1,,,,,,", "STATS:CALL_:,666,Forged,,,,,,", "CALL_:,2,,,,,,"}, false,
            {kAccepted, "CALL_:,1,,,,,,", "STATS:CALL_:,666,Forged,,,,,,CALL_:,2,,,,,,"});
        row("text after a ping that starts no message",
            {kAccepted, "PING_:5", " x CALL_:,y,", "CALL_:,6,,,,,,"}, false,
            {kAccepted, "PING_:5", "CALL_:,6,,,,,,"});
        row("an answer, a call inside its wait, the end mark",
            {kAccepted, "STATS:LAST;5#, Karen Holm , 2026-12-06 20:15:04 , 04512345 ",
             "CALL_:,4,,,,,,", kEndMark.toLatin1()},
            true);
        row("contact answers back to back",
            {kAccepted, "CNTAC:SEAR;Karen Holm,,,,,,3,3",
             "CNTAC:SAVE;New record saved succesfully."},
            true);
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
