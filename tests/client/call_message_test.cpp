#include <QtTest>

#include "client/call_message.h"
#include "client/client_command.h"
#include "client/terminal_text.h"

using namespace ringwise;

namespace {

const QDateTime kReceived(QDate(2026, 12, 6), QTime(20, 15, 4));

}  // namespace

class CallMessageTest : public QObject {
    Q_OBJECT

private slots:
    void readsTheFieldsOfACallLine_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("isCall");
        QTest::addColumn<QString>("text");  // as watch prints it
        QTest::addColumn<QString>("email");

        QTest::newRow("unknown caller")
            << "CALL_:,04512345,,,,,," << true << "2026-12-06 20:15:04  Unknown caller  04512345"
            << "";
        QTest::newRow("known caller")
            << "CALL_:,04512345,Karen Holm,04512345,20304050,,,karen@example.dk" << true
            << "2026-12-06 20:15:04  Karen Holm  04512345"
            << "karen@example.dk";
        QTest::newRow("named by the directory")
            << QString::fromLatin1("CALL_:,87654321,S\xF8ren O'Hara (New),,,,,") << true
            << QString::fromLatin1("2026-12-06 20:15:04  S\xF8ren O'Hara (New)  87654321") << "";
        QTest::newRow("comma in the name") << "CALL_:,11223344,Holm, Karen,,,,,k@example.dk" << true
                                           << "2026-12-06 20:15:04  Holm, Karen  11223344"
                                           << "k@example.dk";
        QTest::newRow("withheld number") << "CALL_:,Secret number,,,,,," << true
                                         << "2026-12-06 20:15:04  Unknown caller  Secret number"
                                         << "";
        QTest::newRow("terminal escapes in the name and number")
            << QString::fromLatin1(
                   "CALL_:,\x9B"
                   "2J,\x1B]0;x\x07Karen\x7F,,,,,")
            << true
            << QString::fromUtf8("2026-12-06 20:15:04  \uFFFD]0;x\uFFFDKaren\uFFFD  \uFFFD2J")
            << "";
        QTest::newRow("ping") << "PING_:1000" << false << ""
                              << "";
        QTest::newRow("fields missing") << "CALL_:,04512345,Karen" << false << ""
                                        << "";
    }

    void readsTheFieldsOfACallLine() {
        QFETCH(QString, line);
        QFETCH(bool, isCall);
        QFETCH(QString, text);
        QFETCH(QString, email);
        const std::optional<ClientCall> call = parseCallLine(line, kReceived);
        QCOMPARE(call.has_value(), isCall);
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
