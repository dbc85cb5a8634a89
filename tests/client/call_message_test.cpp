// SPDX-License-Identifier: GPL-3.0-or-later
#include <QtTest>

#include "call/safe_text.h"
#include "client/call_message.h"
#include "client/client_command.h"

using namespace ringwise;

namespace {

const QDateTime kReceived(QDate(2026, 12, 6), QTime(20, 15, 4));

}  // namespace

class CallMessageTest : public QObject {
    Q_OBJECT

private slots:
    void readsTheFieldsOfACallLine_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("text");  // as watch prints it; none: not a call
        QTest::addColumn<QString>("email");
        const auto row = [](const char *name, const QString &line, const QString &text,
                            const char *email = "") {
            QTest::newRow(name) << line << text << QString(email);
        };
        const QString at = QStringLiteral("2026-12-06 20:15:04  ");
        row("unknown caller", "CALL_:,04512345,,,,,,", at + "Unknown caller  04512345");
        row("known caller", "CALL_:,04512345,Karen Holm,04512345,20304050,,,karen@example.dk",
            at + "Karen Holm  04512345", "karen@example.dk");
        row("named by the directory",
            QString::fromLatin1("CALL_:,87654321,S\xF8ren O'Hara (New),,,,,"),
            at + QString::fromLatin1("S\xF8ren O'Hara (New)  87654321"));
        row("comma in the name", "CALL_:,11223344,Holm, Karen,,,,,k@example.dk",
            at + "Holm, Karen  11223344", "k@example.dk");
        row("withheld number", "CALL_:,Secret number,,,,,,", at + "Unknown caller  Secret number");
        row("terminal escapes in the name and number",
            QString::fromLatin1("CALL_:,\x9B"
                                "2J,\x1B]0;x\x07Karen\x7F,,,,,"),
            at + QString::fromUtf8("\uFFFD]0;x\uFFFDKaren\uFFFD  \uFFFD2J"));
        row("ping", "PING_:1000", "");
        row("fields missing", "CALL_:,04512345,Karen", "");
    }

    void readsTheFieldsOfACallLine() {
        QFETCH(QString, line);
        QFETCH(QString, text);
        QFETCH(QString, email);
        const std::optional<ClientCall> call = parseCallLine(line, kReceived);
        QCOMPARE(call.has_value(), !text.isEmpty());
        if (!call)
            return;
        QCOMPARE(callText(*call), text);
        QCOMPARE(call->fields[CallField::Email], email);
        QVERIFY(callEnvironment(*call).contains("RINGWISE_EMAIL=" + email));
        // JSON keeps every character of the name, with no control character left raw.
        const QString json = callJson(*call);
        QCOMPARE(printable(json), json);
        QCOMPARE(QJsonDocument::fromJson(json.toUtf8())["name"].toString(),
                 call->fields[CallField::Name]);
    }

    void refusesWhatTheServerCannotTake_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("last with letters") << QStringList{"last", "five"};
        QTest::newRow("top above 32767") << QStringList{"top", "40000"};
        QTest::newRow("unknown search field") << QStringList{"search", "street", "x"};
        QTest::newRow("search term with a record selector")
            << QStringList{"search", "NAME", "a,@:3"};
        QTest::newRow("save with a comma")
            << QStringList{"save", "new", "Holm, Karen", "", "", "", "", ""};
        QTest::newRow("save with five values") << QStringList{"save", "new", "a", "", "", "", ""};
        QTest::newRow("save to a key that is not a number")
            << QStringList{"save", "1 OR 1", "a", "", "", "", "", ""};
        QTest::newRow("name outside Latin-1") << QStringList{"search", "NAME", "Łukasz"};
    }

    void refusesWhatTheServerCannotTake() {
        QFETCH(QStringList, arguments);
        QString error;
        QVERIFY(!parseCommand(arguments, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_APPLESS_MAIN(CallMessageTest)
#include "call_message_test.moc"
