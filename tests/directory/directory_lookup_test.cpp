#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <memory>

#include "db/database.h"
#include "directory/directory_lookup.h"
#include "support/table_dump.h"
#include "support/temp_environment.h"

using namespace ringwise;
using State = DirectoryLookup::State;

namespace {

const QByteArray kResponseHead = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";

QByteArray page(const QString &name) {
    QFile file(QFINDTESTDATA("data/" + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray request(const QString &phone) {
    return "GET /vbw/super/resultat.do?compTrade=&compZip=&compCity=&compAddress=&compRegionID="
           "&compPhone=" +
           phone.toLatin1() + "&Image51.x=0&Image51.y=0 HTTP/1.0\n\n";
}

// The directory on loopback: records every byte each connection sends and, once the request
// is complete, answers with a page in pieces of pieceSize bytes (0: in one piece) and closes.
// While held, requests wait for release().
class FakeDirectory : public QObject {
public:
    QByteArray answer;
    int pieceSize = 0;
    bool held = false;
    QList<QByteArray> requests;

    FakeDirectory() {
        connect(&m_server, &QTcpServer::newConnection, this, &FakeDirectory::accept);
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString host() const { return "127.0.0.1:" + QString::number(m_server.serverPort()); }
    bool hasRequest() const { return !requests.isEmpty() && requests.last().endsWith("\n\n"); }

    void release() {
        held = false;
        for (QTcpSocket *socket : std::exchange(m_waiting, {}))
            respond(socket);
    }

private:
    void accept() {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            const qsizetype index = requests.size();
            requests.append(QByteArray());
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, index] {
                requests[index] += socket->readAll();
                if (requests[index].endsWith("\n\n") && socket->property("seen").isNull()) {
                    socket->setProperty("seen", true);
                    held ? m_waiting.append(socket) : respond(socket);
                }
            });
        }
    }

    void respond(QTcpSocket *socket) {
        auto rest = std::make_shared<QByteArray>(kResponseHead + answer);
        const qsizetype size = pieceSize > 0 ? pieceSize : rest->size();
        auto sendNext = [socket, rest, size] {
            if (rest->isEmpty()) {
                socket->disconnectFromHost();
                return;
            }
            socket->write(rest->left(size));
            rest->remove(0, size);
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, sendNext);
        sendNext();
    }

    QTcpServer m_server;
    QList<QTcpSocket *> m_waiting;
};

// A lookup on a real database file, with the clients' lines and the user's messages
// collected.
struct Fixture {
    explicit Fixture(int timeoutMs = 5000,
                     qint64 maxBytes = DirectoryLookup::kDefaultMaxResponseBytes)
        : host(directory.host()) {
        db.open(env.filePath("lookup.db"), Database::OpenMode::CreateIfMissing);
        lookup = std::make_unique<DirectoryLookup>(
            db, record, [this] { return host; }, [this](const QString &line) { lines << line; },
            [this](const QString &title, const QString &text) { reports << title + ": " + text; },
            timeoutMs, maxBytes);
    }

    // A new call from a number in no contact, as call logging leaves it: a contact row
    // holding only the number, the contact fields one blank each.
    CallFields unknownCall(const QString &number) {
        db.exec("INSERT INTO tblContacts (Unrecognized) VALUES(?)", {number});
        record.ResetCallDisplay();
        record.set(CallField::Number, number);
        for (CallField field : {CallField::Name, CallField::HomePhone, CallField::MobilePhone,
                                CallField::WorkPhone, CallField::WorkFax, CallField::Email})
            record.set(field, " ");
        record.set(CallField::ContactId, QString::number(db.lastInsertRowId()));
        return record.fields();
    }

    QVariant fullName(const CallFields &call) {
        Query row =
            db.query("SELECT FullName FROM tblContacts WHERE ID = ?", {call[CallField::ContactId]});
        return row.isNull("FullName") ? QVariant() : QVariant(row.field("FullName"));
    }

    test::TempEnvironment env;
    Database db;
    CallRecord record;
    FakeDirectory directory;
    QString host;
    QStringList lines;
    QStringList reports;
    std::unique_ptr<DirectoryLookup> lookup;
};

}  // namespace

class DirectoryLookupTest : public QObject {
    Q_OBJECT

private slots:
    void requestIsOneBareLine_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("phone");
        QTest::newRow("  12345678 ") << QString("  12345678 ") << QString("12345678");
        QTest::newRow(" 12 34 ") << QString(" 12 34 ") << QString("12 34");
    }
    void requestIsOneBareLine() {
        QFETCH(QString, number);
        QFETCH(QString, phone);
        Fixture f;
        f.directory.answer = page("no_marker.html");
        f.lookup->StartLookup(f.unknownCall(number));
        QTRY_COMPARE(f.lookup->state(), State::Idle);
        QCOMPARE(f.directory.requests, QList<QByteArray>{request(phone)});
    }

    void pageNamesTheCaller_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("pieceSize");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("line");  // none: "Error in Split"
        const auto row = [](const char *name, const char *file, int pieceSize,
                            const QVariant &stored, const QString &line) {
            QTest::newRow(name) << file << pieceSize << stored << line;
        };
        row("name with blanks", "name_with_blanks.html", 0, "Jens Hansen",
            "CALL_:,12345678,Jens Hansen (New),,,,,");
        row("name with blanks, 7 bytes a piece", "name_with_blanks.html", 7, "Jens Hansen",
            "CALL_:,12345678,Jens Hansen (New),,,,,");
        row("arrow twice", "marker_twice.html", 0, "Anna Berg",
            "CALL_:,12345678,Anna Berg (New),,,,,");
        row("no arrow", "no_marker.html", 0, "Unidentified", "CALL_:,12345678,Unidentified,,,,,");
        row("empty cell", "empty_cell.html", 0, "", "CALL_:,12345678, (New),,,,,");
        row("no end of cell", "no_end_of_cell.html", 0, QVariant(), QString());
        row("apostrophe and reference", "apostrophe_and_reference.html", 0, "O'Brien & Søn",
            "CALL_:,12345678,O'Brien & Søn (New),,,,,");
        row("Latin-1 page", "soeren_latin1.html", 0, "Søren", "CALL_:,12345678,Søren (New),,,,,");
        row("UTF-8 page, one byte a piece", "soeren_utf8.html", 1, "Søren",
            "CALL_:,12345678,Søren (New),,,,,");
    }
    void pageNamesTheCaller() {
        QFETCH(QString, file);
        QFETCH(int, pieceSize);
        QFETCH(QVariant, stored);
        QFETCH(QString, line);
        Fixture f;
        f.directory.answer = page(file);
        QVERIFY(!f.directory.answer.isEmpty());
        f.directory.pieceSize = pieceSize;
        const CallFields call = f.unknownCall("12345678");
        f.lookup->StartLookup(call);
        QCOMPARE(f.lookup->state(), State::Connecting);
        QTRY_COMPARE(f.lookup->state(), State::Idle);
        QCOMPARE(f.lines, line.isEmpty() ? QStringList() : QStringList{line});
        QCOMPARE(f.reports,
                 line.isEmpty() ? QStringList{"RingwiseServer: Error in Split"} : QStringList());
        QCOMPARE(f.fullName(call), stored);
        QCOMPARE(f.record.value(CallField::Name), stored.isNull() ? " " : stored.toString());
    }

    void callWithoutContactIsOnlyShown() {
        Fixture f;
        f.directory.answer = page("name_with_blanks.html");
        CallFields call = f.unknownCall("12345678");
        call[CallField::ContactId].clear();
        const QString before = test::dumpTable(f.db, "tblContacts");
        f.lookup->StartLookup(call);
        QTRY_COMPARE(f.lookup->state(), State::Idle);
        QCOMPARE(f.record.value(CallField::Name), QStringLiteral("Jens Hansen"));
        QCOMPARE(f.lines, QStringList());
        QCOMPARE(test::dumpTable(f.db, "tblContacts"), before);
    }

    void resultGoesToTheCallItWasStartedFor() {
        Fixture f;
        f.directory.answer = page("name_with_blanks.html");
        f.directory.held = true;
        const CallFields first = f.unknownCall("11111111");
        f.lookup->StartLookup(first);
        QTRY_VERIFY(f.directory.hasRequest());
        const CallFields second = f.unknownCall("22222222");
        f.lookup->StartLookup(second);  // still busy: not looked up
        f.directory.release();
        QTRY_COMPARE(f.lookup->state(), State::Idle);

        QCOMPARE(f.directory.requests, QList<QByteArray>{request("11111111")});
        QCOMPARE(f.lines, QStringList{"CALL_:,11111111,Jens Hansen (New),,,,,"});
        QCOMPARE(f.fullName(first), QVariant("Jens Hansen"));
        QCOMPARE(f.fullName(second), QVariant());
        QCOMPARE(f.record.fields(), second);
    }

    void failedLookupChangesNothing_data() {
        QTest::addColumn<QString>("host");  // empty: the fake directory
        QTest::addColumn<bool>("answers");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<bool>("closeDatabase");
        QTest::addColumn<QString>("report");
        const qint64 size = kResponseHead.size() + page("name_with_blanks.html").size();
        const qint64 plenty = DirectoryLookup::kDefaultMaxResponseBytes;
        const auto row = [](const char *name, const QString &host, bool answers, int timeoutMs,
                            qint64 maxBytes, bool closeDatabase, const QString &report) {
            QTest::newRow(name) << host << answers << timeoutMs << maxBytes << closeDatabase
                                << report;
        };
        row("directory never answers", "", false, 100, plenty, false,
            "The directory did not answer within 0.1 seconds.");
        row("answer one byte over the limit", "", true, 5000, size - 1, false,
            QString("The directory's answer is larger than %1 bytes.").arg(size - 1));
        row("connection refused", "refused", true, 5000, plenty, false,
            QString::number(QAbstractSocket::ConnectionRefusedError));
        row("port not a number", "127.0.0.1:http", true, 5000, plenty, false, "");
        row("port out of range", "127.0.0.1:70000", true, 5000, plenty, false, "");
        row("database closed", "", true, 5000, plenty, true, "Error in Split");
    }
    void failedLookupChangesNothing() {
        QFETCH(QString, host);
        QFETCH(bool, answers);
        QFETCH(int, timeoutMs);
        QFETCH(qint64, maxBytes);
        QFETCH(bool, closeDatabase);
        QFETCH(QString, report);
        Fixture f(timeoutMs, maxBytes);
        f.directory.answer = page("name_with_blanks.html");
        f.directory.pieceSize = 50;
        f.directory.held = !answers;
        QTcpServer closed;
        if (host == "refused") {
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            host = "127.0.0.1:" + QString::number(closed.serverPort());
            closed.close();
        }
        if (!host.isEmpty())
            f.host = host;
        const CallFields call = f.unknownCall("12345678");
        const QString before = test::dumpTable(f.db, "tblContacts");
        if (closeDatabase)
            f.db.close();

        f.lookup->StartLookup(call);
        QTRY_COMPARE(f.lookup->state(), State::Idle);
        QCOMPARE(f.reports,
                 report.isEmpty() ? QStringList() : QStringList{"RingwiseServer: " + report});
        QCOMPARE(f.lines, QStringList());
        if (closeDatabase)
            f.db.open(f.env.filePath("lookup.db"), Database::OpenMode::MustExist);
        QCOMPARE(test::dumpTable(f.db, "tblContacts"), before);

        // Nothing is left running: the next call is looked up.
        f.host = f.directory.host();
        f.lookup->StartLookup(call);
        QCOMPARE(f.lookup->state(), State::Connecting);
    }
};

QTEST_GUILESS_MAIN(DirectoryLookupTest)
#include "directory_lookup_test.moc"
