#include <sys/socket.h>
#include <QTcpServer>
#include <QtTest>

#include "db/database.h"
#include "directory/directory_lookup.h"
#include "directory/page_text.h"
#include "directory/result_page.h"
#include "directory/socket_error_number.h"
#include "support/table_dump.h"
#include "support/temp_environment.h"

using namespace ringwise;
using State = DirectoryLookup::State;

namespace {

constexpr qint64 kLimit = DirectoryLookup::kDefaultMaxResponseBytes;
const QByteArray kHead = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
const QByteArray kArrow =
    R"(<td><img src="../img/oplysningen/ikoner/resultat-pil.gif" width="15" height="12"></td>)";

QByteArray readPage(const QString &name) {
    QFile file(QFINDTESTDATA("data/" + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A lookup on a real database file, the clients' lines and the user's messages collected, and
// the directory on loopback: it records what each connection sends and, unless silent, answers
// a complete request with the head and the page (its first sendOnly bytes, if set) in pieces
// of pieceSize bytes (0: one piece), then closes or resets the connection.
struct Fixture : QObject {
    test::TempEnvironment env;
    Database db;
    CallRecord record;
    QTcpServer server;
    QString host;
    QByteArray head = kHead;
    QByteArray answer;
    int pieceSize = 0;
    qsizetype sendOnly = -1;
    bool silent = false;
    bool reset = false;
    QList<QByteArray> requests;
    QStringList lines;
    QStringList reports;
    DirectoryLookup lookup;

    explicit Fixture(int timeoutMs = 5000, qint64 maxBytes = kLimit)
        : lookup(
              db, record, [this] { return host; }, [this](const QString &line) { lines << line; },
              [this](const QString &title, const QString &text) { reports << title + ": " + text; },
              timeoutMs, maxBytes) {
        db.open(env.filePath("lookup.db"), Database::OpenMode::CreateIfMissing);
        server.listen(QHostAddress::LocalHost, 0);
        host = directoryHost();
        connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = server.nextPendingConnection();
            requests.append(QByteArray());
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, i = requests.size() - 1] {
                requests[i] += socket->readAll();
                if (requests[i].endsWith("\n\n") && !silent)
                    respond(socket);
            });
        });
    }
    QString directoryHost() const { return "127.0.0.1:" + QString::number(server.serverPort()); }
    void respond(QTcpSocket *socket) {
        auto rest =
            std::make_shared<QByteArray>(head + (sendOnly < 0 ? answer : answer.left(sendOnly)));
        const auto sendNext = [this, socket, rest,
                               size = pieceSize > 0 ? pieceSize : rest->size()] {
            if (rest->isEmpty())
                return reset ? resetConnection(socket) : socket->disconnectFromHost();
            socket->write(rest->left(size));
            rest->remove(0, size);
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, sendNext);
        sendNext();
    }
    // Closing with a zero linger time sends a reset instead of the orderly end.
    static void resetConnection(QTcpSocket *socket) {
        const linger now{1, 0};
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
        socket->abort();
    }
    // A new call from a number in no contact, as call logging leaves it.
    CallFields unknownCall(const QString &number) {
        db.exec("INSERT INTO tblContacts (Unrecognized) VALUES(?)", {number});
        record.ResetCallDisplay();
        record.set(CallField::Number, number);
        for (int field = int(CallField::Name); field <= int(CallField::Email); ++field)
            record.set(CallField(field), " ");
        record.set(CallField::ContactId, QString::number(db.lastInsertRowId()));
        return record.fields();
    }
    QString fullName(const CallFields &call) {  // as SQL quote() writes it
        const QString sql = "SELECT quote(FullName) AS v FROM tblContacts WHERE ID = ?";
        return db.query(sql, {call[CallField::ContactId]}).field("v");
    }
};

}  // namespace

class DirectoryTest : public QObject {
    Q_OBJECT

private slots:
    void splitUrl_data() {
        QTest::addColumn<QString>("parts");  // host|port|page
        QTest::newRow("http://dir.example:8080/vbw/resultat.do?compPhone=1")
            << "dir.example|8080|/vbw/resultat.do?compPhone=1";
        QTest::newRow("http://dir.example") << "dir.example|80|/";
        QTest::newRow("http://dir.example/a:b?t=x://y") << "dir.example|80|/a:b?t=x://y";
    }
    void splitUrl() {
        const std::optional<DirectoryUrl> url = ringwise::splitUrl(QTest::currentDataTag());
        QVERIFY(url);
        QTEST(url->strHost + '|' + QString::number(url->lPort) + '|' + url->strPage, "parts");
    }

    // Bytes as UTF-8 where valid, else Latin-1; then character references.
    void pageText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *tag, const QByteArray &bytes, const QString &text) {
            QTest::newRow(tag) << bytes << text;
        };
        row("UTF-8 and Latin-1", "S\xc3\xb8ren \xc6r\xf8", "Søren Ærø");
        row("overlong, surrogate, cut", "\xc0\xaf\xed\xa0\x80S\xc3", "À¯í\u00a0\u0080SÃ");
        row("four bytes", "\xf0\x9f\x98\x80", "\U0001F600");
        row("markup", "&lt;b&gt; &quot;O&apos;Brien&quot;", "<b> \"O'Brien\"");
        row("letters", "&AElig;&aelig;&Oslash;&oslash;&Aring;&aring;&eacute;&uuml;", "ÆæØøÅåéü");
        row("numeric", "S&#248;ren S&#xF8;ren", "Søren Søren");
        row("no-break space", "&nbsp;Jens&nbsp;", " Jens ");
        row("invalid code points", "&#0;&#xD800;&#x110000;", "&#0;&#xD800;&#x110000;");
        row("left alone", "&amp;amp; &amp Co; A/S & B", "&amp; &amp Co; A/S & B");
    }
    void pageText() {
        QFETCH(QByteArray, bytes);
        QTEST(decodeCharacterReferences(decodePageText(bytes)), "text");
    }

    // The user is shown the system's numbers, as Linux writes them.
    void socketErrorNumber_data() {
        QTest::addColumn<QAbstractSocket::SocketError>("error");
        QTest::addColumn<int>("number");
        QTest::newRow("refused") << QAbstractSocket::ConnectionRefusedError << 111;
        QTest::newRow("reset") << QAbstractSocket::RemoteHostClosedError << 104;
        QTest::newRow("timed out") << QAbstractSocket::SocketTimeoutError << 110;
        QTest::newRow("name not found") << QAbstractSocket::HostNotFoundError << 113;
        QTest::newRow("no network") << QAbstractSocket::NetworkError << 101;
    }
    void socketErrorNumber() {
        QFETCH(QAbstractSocket::SocketError, error);
        QTEST(ringwise::socketErrorNumber(error), "number");
    }

    void answerIsComplete_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("complete");
        const auto row = [](const QByteArray &answer, bool complete) {
            QTest::newRow(answer.left(60).replace("\r\n", "|").constData()) << answer << complete;
        };
        row("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n12345", true);
        row("HTTP/1.0 200 OK\r\ncontent-length: 60\r\n\r\n12345</html>", false);
        row("HTTP/1.0 200 OK\r\nContent-Length:3\r\n\r\n12345", true);
        row("HTTP/1.0 200 OK\nContent-Length: 2\n\nab", true);
        row("HTTP/1.0 200 OK\r\nContent-Length: many\r\n\r\n<html></HTML>", true);
        row("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>", false);
        row("HTTP/1.0 200 OK\r\nContent-Length: 0\r\nContent-Ty", false);
        row("HTTP/1.0 200 OK\r\n\r\n<html></html>\r\n", true);
        row("<html></html>", true);
        row("", false);
    }
    void answerIsComplete() {
        QFETCH(QByteArray, answer);
        QTEST(ringwise::answerIsComplete(answer), "complete");
    }

    void pageNamesTheCaller_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<int>("pieceSize");
        QTest::addColumn<QString>("stored");  // as SQL quote() writes it
        QTest::addColumn<QString>("name");    // in the line; none: "Error in Split"
        const auto row = [](const char *tag, const QByteArray &page, int pieceSize,
                            const char *stored, const char *name) {
            QTest::newRow(tag) << (page.isEmpty() ? readPage(tag) : page + "</html>") << pieceSize
                               << QString(stored) << QString(name);
        };
        row("name_with_blanks.html", {}, 0, "'Jens Hansen'", "Jens Hansen (New)");
        row("marker_twice.html", {}, 0, "'Anna Berg'", "Anna Berg (New)");
        row("no_marker.html", {}, 0, "'Unidentified'", "Unidentified");
        row("empty_cell.html", {}, 0, "''", " (New)");
        row("no_end_of_cell.html", {}, 0, "NULL", "");
        row("apostrophe_and_reference.html", {}, 0, "'O''Brien & Søn'", "O'Brien & Søn (New)");
        row("soeren_utf8.html", {}, 1, "'Søren'", "Søren (New)");
        row("tags stay", kArrow + "<td><b>Jens</b></td>", 0, "'<b>Jens</b>'", "<b>Jens</b> (New)");
        row("end of cell first", kArrow + "</td><td>Jens</td>", 0, "NULL", "");
        row("second arrow first", kArrow + "<td>A" + kArrow + "<td>B</td>", 0, "NULL", "");
        row("arrow of another size", "pil.gif\" width=\"15\" height=\"13\"></td><td>X</td>", 0,
            "'Unidentified'", "Unidentified");
    }
    void pageNamesTheCaller() {
        QFETCH(QByteArray, page);
        QFETCH(int, pieceSize);
        QFETCH(QString, stored);
        QFETCH(QString, name);
        Fixture f;
        QVERIFY(!page.isEmpty());
        f.answer = page;
        f.pieceSize = pieceSize;
        const CallFields call = f.unknownCall("12345678");
        f.lookup.StartLookup(call);
        QCOMPARE(f.lookup.state(), State::Connecting);
        QTRY_COMPARE(f.lookup.state(), State::Idle);
        const bool failed = name.isEmpty();
        QCOMPARE(f.lines,
                 failed ? QStringList() : QStringList{"CALL_:,12345678," + name + ",,,,,"});
        QCOMPARE(f.reports, failed ? QStringList{"RingwiseServer: Error in Split"} : QStringList());
        QCOMPARE(f.fullName(call), stored);
        name.remove(" (New)");
        QCOMPARE(f.record.value(CallField::Name), failed ? " " : name);
    }

    // The request is one bare line with the number trimmed and unescaped; a second unknown
    // call while the lookup runs is not looked up, and the result names the first caller.
    void resultGoesToTheCallItWasStartedFor() {
        Fixture f;
        f.answer = readPage("name_with_blanks.html");
        const CallFields first = f.unknownCall("  1111 1111 ");
        f.lookup.StartLookup(first);
        const CallFields second = f.unknownCall("22222222");
        f.lookup.StartLookup(second);
        QTRY_COMPARE(f.lookup.state(), State::Idle);

        QCOMPARE(f.requests,
                 QList<QByteArray>{"GET /vbw/super/resultat.do?compTrade=&compZip=&compCity=&"
                                   "compAddress=&compRegionID=&compPhone=1111 1111&Image51.x=0&"
                                   "Image51.y=0 HTTP/1.0\n\n"});
        QCOMPARE(f.lines, QStringList{"CALL_:,1111 1111,Jens Hansen (New),,,,,"});
        QCOMPARE(f.fullName(first), "'Jens Hansen'");
        QCOMPARE(f.fullName(second), "NULL");
        QCOMPARE(f.record.fields(), second);
    }

    void failedLookupChangesNothing_data() {
        QTest::addColumn<QString>("host");  // host:port, or how the fake directory behaves
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<QString>("report");
        const qint64 size = kHead.size() + readPage("name_with_blanks.html").size();
        QTest::newRow("never answers")
            << "silent" << kLimit << "The directory did not answer within 0.1 seconds.";
        QTest::newRow("answer one byte over the limit")
            << "" << size - 1
            << QString("The directory's answer is larger than %1 bytes.").arg(size - 1);
        QTest::newRow("connection refused") << "refused" << kLimit << "111";
        QTest::newRow("half a page, then reset") << "" << kLimit << "104";
        QTest::newRow("whole page, then reset") << "" << kLimit << "104";
        QTest::newRow("half the announced length, then closed") << "" << kLimit << "104";
        QTest::newRow("half a page, then closed") << "" << kLimit << "104";
        QTest::newRow("port not a number") << "127.0.0.1:http" << kLimit << "";
        QTest::newRow("port out of range") << "127.0.0.1:70000" << kLimit << "";
        QTest::newRow("database closed") << "closed database" << kLimit << "Error in Split";
    }
    void failedLookupChangesNothing() {
        QFETCH(QString, host);
        QFETCH(qint64, maxBytes);
        QFETCH(QString, report);
        Fixture f(host == "silent" ? 100 : 5000, maxBytes);
        f.answer = readPage("name_with_blanks.html");
        f.pieceSize = 50;
        f.silent = host == "silent";
        const QString behaviour = QTest::currentDataTag();
        if (behaviour.startsWith("half"))
            f.sendOnly = f.answer.size() / 2;
        if (behaviour.contains("announced"))
            f.head = "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(f.answer.size()) +
                     "\r\n\r\n";
        f.reset = behaviour.endsWith("reset");
        if (host == "refused") {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            f.host = "127.0.0.1:" + QString::number(closed.serverPort());
        } else if (host.contains(':')) {
            f.host = host;
        }
        const CallFields call = f.unknownCall("12345678");
        const QString before = test::dumpTable(f.db, "tblContacts");
        if (host == "closed database")
            f.db.close();

        f.lookup.StartLookup(call);
        QTRY_COMPARE(f.lookup.state(), State::Idle);
        QCOMPARE(f.reports,
                 report.isEmpty() ? QStringList() : QStringList{"RingwiseServer: " + report});
        QCOMPARE(f.lines, QStringList());
        if (!f.db.isOpen())
            f.db.open(f.env.filePath("lookup.db"), Database::OpenMode::MustExist);
        QCOMPARE(test::dumpTable(f.db, "tblContacts"), before);
        // Nothing is left running: the next call is looked up.
        f.host = f.directoryHost();
        f.lookup.StartLookup(call);
        QCOMPARE(f.lookup.state(), State::Connecting);
    }
};

QTEST_GUILESS_MAIN(DirectoryTest)
#include "directory_test.moc"
