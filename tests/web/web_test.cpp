// SPDX-License-Identifier: GPL-3.0-or-later
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QWebSocket>
#include <QtTest>

#include "core/paths.h"
#include "core/service.h"
#include "core/settings_store.h"
#include "core/settings_table.h"
#include "queries/block_list.h"
#include "support/fast_environment.h"
#include "support/pseudo_terminal.h"
#include "support/temp_environment.h"
#include "web/host_guard.h"
#include "web/request_gate.h"
#include "web/web_timeouts.h"

using namespace ringwise;
using namespace ringwise::test;

namespace {

const QString kPassword = QStringLiteral("secret password");

struct Answer {
    int status = 0;
    QByteArray raw;  // head and body
    QByteArray body;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QByteArray header(const QByteArray &name) const {
        for (const QByteArray &line : raw.left(raw.indexOf("\r\n\r\n")).split('\n')) {
            if (line.startsWith(name + ": "))
                return line.mid(name.size() + 2).trimmed();
        }
        return QByteArray();
    }
};

// The server on a device, its web page on a free loopback port, on a clock the test turns.
struct WebServerFixture {
    explicit WebServerFixture(const QString &password = QString(), WebTimeouts timeouts = {}) {
        store.Write(key::ServerAutoStart, "True");
        store.Write(key::ServerCOM, device.slavePath());
        store.Write(key::ServerCheckDGS, "False");
        store.Write(key::ServerPassword, password);
        ServiceEnvironment environment = loopbackEnvironment();
        environment.now = [this] { return now; };
        environment.webPort = 0;
        environment.webTimeouts = timeouts;
        service = std::make_unique<Service>(store, environment);
    }

    // One request on a connection of its own; the whole answer, or what came within 5 s.
    Answer http(const QByteArray &request, const QByteArray &body = {},
                const QByteArray &headers = {}) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, service->webPort());
        socket.write(request + " HTTP/1.1\r\n" +
                     (headers.contains("Host: ") ? "" : "Host: localhost\r\n") +
                     "Content-Length: " + QByteArray::number(body.size()) + "\r\n" + headers +
                     "\r\n" + body);
        Answer answer;
        QSignalSpy arrived(&socket, &QTcpSocket::readyRead);
        while (arrived.wait(5000)) {
            answer.raw += socket.readAll();
            const qsizetype headEnd = answer.raw.indexOf("\r\n\r\n");
            if (headEnd >= 0 &&
                answer.raw.size() - headEnd - 4 >= answer.header("Content-Length").toInt())
                break;
        }
        answer.status = answer.raw.mid(9, 3).toInt();
        answer.body = answer.raw.mid(answer.raw.indexOf("\r\n\r\n") + 4);
        return answer;
    }

    // Logs in; the cookie header for the requests that follow.
    QByteArray logIn() {
        const Answer answer = http("POST /login", "password=" + QUrl::toPercentEncoding(kPassword));
        const QByteArray cookie = answer.header("Set-Cookie");
        return "Cookie: " + cookie.left(cookie.indexOf(';')) + "\r\n";
    }
    QByteArray tokenHeader(const QByteArray &cookie) {
        return "X-Ringwise-Token: " +
               http("GET /api/session", {}, cookie).json().value("token").toString().toLatin1() +
               "\r\n";
    }
    Answer save(const QByteArray &key, const QJsonObject &contact, const QByteArray &cookie = {}) {
        return http("POST /api/contacts/" + key, QJsonDocument(contact).toJson(),
                    cookie + tokenHeader(cookie));
    }

    TempEnvironment env;
    PseudoTerminal device;
    SettingsStore store{defaultSettingsPath()};
    QDateTime now{QDate(2026, 12, 7), QTime(12, 0)};
    std::unique_ptr<Service> service;
};

const QByteArray kUpgrade =
    "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";

}  // namespace

class WebTest : public QObject {
    Q_OBJECT

private slots:
    void answers_data() {
        QTest::addColumn<bool>("password");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray none;
        QTest::newRow("page before login") << true << QByteArray("GET /") << none << none << 303
                                           << QByteArray("Location: /login\r\n");
        QTest::newRow("API before login") << true << QByteArray("GET /api/calls") << none << none
                                          << 401 << QByteArray(R"({"error":"login"})");
        QTest::newRow("block without token")
            << false << QByteArray("POST /api/blocked") << QByteArray(R"({"number":"1"})") << none
            << 403 << QByteArray(R"({"error":"token"})");
        QTest::newRow("import over 64 KiB")
            << false << QByteArray("POST /api/import") << QByteArray(64 * 1024 + 1, 'x') << none
            << 413 << QByteArray("tooLarge");
        QTest::newRow("export as CSV") << false << QByteArray("GET /api/export.csv") << none << none
                                       << 200 << QByteArray("Content-Disposition: attachment");
        QTest::newRow("events before login")
            << true << QByteArray("GET /events") << none << kUpgrade << 401
            << QByteArray(R"({"error":"login"})");
        QTest::newRow("style before login") << true << QByteArray("GET /app.css") << none << none
                                            << 200 << QByteArray("Content-Type: text/css");
        QTest::newRow("favicon") << true << QByteArray("GET /favicon.ico") << none << none << 200
                                 << QByteArray("image/svg+xml");
        QTest::newRow("login without password") << false << QByteArray("GET /login") << none << none
                                                << 303 << QByteArray("Location: /\r\n");
        QTest::newRow("page without password") << false << QByteArray("GET /") << none << none
                                               << 200 << QByteArray("Cache-Control: no-store");
        QTest::newRow("unknown path") << false << QByteArray("GET /etc/passwd") << none << none
                                      << 404 << QByteArray("notFound");
        QTest::newRow("WebSocket elsewhere") << false << QByteArray("GET /api/calls") << none
                                             << kUpgrade << 404 << QByteArray("notFound");
        QTest::newRow("Upgrade without Connection")
            << false << QByteArray("GET /events") << none << QByteArray("Upgrade: websocket\r\n")
            << 404 << QByteArray("notFound");
        QTest::newRow("wrong method") << false << QByteArray("DELETE /api/calls") << none << none
                                      << 405 << QByteArray("Allow: GET");
        QTest::newRow("no token") << false << QByteArray("POST /api/contacts/new")
                                  << QByteArray("{}") << none << 403
                                  << QByteArray(R"({"error":"token"})");
        QTest::newRow("wrong token")
            << false << QByteArray("POST /logout") << none << QByteArray("X-Ringwise-Token: 00\r\n")
            << 403 << QByteArray(R"({"error":"token"})");
        QTest::newRow("body over 64 KiB")
            << false << QByteArray("POST /api/contacts/new") << QByteArray(64 * 1024 + 1, 'x')
            << none << 413 << QByteArray("tooLarge");
        QTest::newRow("another site's name")
            << false << QByteArray("GET /api/session") << none
            << QByteArray("Host: evil.example:6997\r\n") << 421 << QByteArray("own name");
        QTest::newRow("WebSocket from another site") << false << QByteArray("GET /events") << none
                                                     << kUpgrade + "Origin: http://evil.example\r\n"
                                                     << 403 << QByteArray(R"({"error":"origin"})");
        QTest::newRow("post from another site") << false << QByteArray("POST /logout") << none
                                                << QByteArray("Origin: http://evil.example\r\n")
                                                << 403 << QByteArray(R"({"error":"origin"})");
        QTest::newRow("paging from a word") << false << QByteArray("GET /api/calls?before=x")
                                            << none << none << 400 << QByteArray("before");
    }
    // Every answer carries the content security policy.
    void answers() {
        QFETCH(bool, password);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, headers);
        QFETCH(int, status);
        QFETCH(QByteArray, expected);
        WebServerFixture f(password ? kPassword : QString());
        QVERIFY(f.service->start());
        const Answer answer = f.http(request, body, headers);
        QCOMPARE(answer.status, status);
        QVERIFY2(answer.raw.contains(expected), answer.raw);
        QVERIFY(answer.header("Content-Security-Policy")
                    .startsWith("default-src 'self'; script-src 'self';"));
    }

    // The gate follows requests across reads and refuses by the head alone.
    void gate_data() {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<int>("status");
        const QByteArray post = "POST /api/contacts/new HTTP/1.1\r\nContent-Length: ";
        QTest::newRow("head, body and the next head in pieces")
            << QByteArrayList{post.left(20), post.mid(20) + "38\r", "\n\r\n{\"name\":\"",
                              "\r\nContent-Length: 99999\r\n\r\n\"}GET / HTTP/1.1\r\n\r\n"}
            << 0;
        QTest::newRow("second request too large")
            << QByteArrayList{"GET / HTTP/1.1\r\n\r\n" + post + "65537\r\n\r\n"} << 413;
        QTest::newRow("chunked body") << QByteArrayList{"POST / HTTP/1.1\r\nTransfer-Encoding: "
                                                        "chunked\r\n\r\n"}
                                      << 411;
        QTest::newRow("endless head")
            << QByteArrayList{"GET / HTTP/1.1\r\nX: ", QByteArray(64 * 1024, 'x')} << 431;
        QTest::newRow("long head in one piece")
            << QByteArrayList{"GET / HTTP/1.1\r\nX: " + QByteArray(64 * 1024, 'x') + "\r\n\r\n"}
            << 431;
    }
    void gate() {
        QFETCH(QByteArrayList, pieces);
        RequestGate gate;
        int status = 0;
        for (const QByteArray &piece : pieces)
            status = std::max(status, gate.feed(piece).status);
        QTEST(status, "status");
    }

    // The names a browser may reach the page by, and the origins that may change things.
    void hostGuard_data() {
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<QByteArray>("origin");
        QTest::addColumn<bool>("admitted");
        const auto row = [](const char *host, const char *origin, bool admitted) {
            QTest::newRow(*origin ? origin
                          : *host ? host
                                  : "no Host")
                << QByteArray(host) << QByteArray(origin) << admitted;
        };
        for (const char *host : {"127.0.0.1:6997", "[::1]:6997", "localhost", "Kitchen:6997",
                                 "kitchen.local", "kitchen.lan:6997", "phone.local", ""})
            row(host, "", true);
        for (const char *host : {"evil.example:6997", "kitchen.evil.example", "127.0.0.1.nip.io",
                                 "localhost.evil.example", "user@localhost", "a b"})
            row(host, "", false);
        row("127.0.0.1:6997", "http://127.0.0.1:6997", true);
        row("kitchen.local", "http://KITCHEN.local:80", true);
        for (const char *origin :
             {"http://evil.example", "http://127.0.0.1:6998", "https://127.0.0.1:6997", "null"})
            row("127.0.0.1:6997", origin, false);
    }
    void hostGuard() {
        QFETCH(QByteArray, host);
        QFETCH(QByteArray, origin);
        const HostGuard guard(QStringLiteral("kitchen"), QStringLiteral("lan"));
        QTEST(guard.admitsHost(host) && HostGuard::sameOrigin(origin, host, false), "admitted");
    }

    // A login opens a session for 30 days of idleness; wrong passwords count in the client
    // port's throttle; logout and a new password end sessions.
    void sessions() {
        WebServerFixture f(kPassword);
        QVERIFY(f.service->start());
        QCOMPARE(f.http("POST /login", "password=wrong").header("Location"), "/login?failed=1");
        const Answer login =
            f.http("POST /login", "password=" + QUrl::toPercentEncoding(kPassword));
        QCOMPARE(login.header("Location"), "/");
        QVERIFY(QRegularExpression("^rw_session=[0-9a-f]{32}; Path=/; HttpOnly; SameSite=Strict; "
                                   "Max-Age=2592000$")
                    .match(QString::fromLatin1(login.header("Set-Cookie")))
                    .hasMatch());
        // The page renews the cookie's 30 days at each visit.
        const QByteArray cookie = "Cookie: " + login.header("Set-Cookie").split(';')[0] + "\r\n";
        QCOMPARE(f.http("GET /", {}, cookie).header("Set-Cookie"), login.header("Set-Cookie"));
        const QJsonObject session = f.http("GET /api/session", {}, cookie).json();
        QCOMPARE(session.value("passwordSet"), true);
        QCOMPARE(session.value("token").toString().size(), 32);

        f.now = f.now.addDays(29);
        QCOMPARE(f.http("GET /api/stats", {}, cookie).status, 200);
        f.now = f.now.addDays(30);
        QCOMPARE(f.http("GET /api/stats", {}, cookie).status, 401);

        const QByteArray loggedOut = f.logIn();
        QWebSocket events;
        QNetworkRequest upgrade(
            QUrl(QStringLiteral("ws://127.0.0.1:%1/events").arg(f.service->webPort())));
        upgrade.setRawHeader("Cookie", loggedOut.mid(8).trimmed());
        QSignalSpy opened(&events, &QWebSocket::connected);
        QSignalSpy closed(&events, &QWebSocket::disconnected);
        events.open(upgrade);
        QVERIFY(opened.wait());
        QCOMPARE(
            f.http("POST /logout", {}, loggedOut + f.tokenHeader(loggedOut)).header("Location"),
            "/login");
        QCOMPARE(f.http("GET /api/calls", {}, loggedOut).status, 401);
        QTRY_COMPARE(closed.size(), 1);
        QCOMPARE(events.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);

        const QByteArray beforeChange = f.logIn();
        QVERIFY(f.store.Write(key::ServerPassword, "another password"));
        QCOMPARE(f.http("GET /api/calls", {}, beforeChange).status, 401);

        for (int wrong = 1; wrong < 5; ++wrong)
            QCOMPARE(f.http("POST /login", "password=wrong").header("Location"), "/login?failed=1");
        QCOMPARE(f.http("POST /login", "password=wrong").header("Location"), "/login?throttled=1");
        QCOMPARE(f.http("POST /login", "password=another+password").header("Location"),
                 "/login?throttled=1");
    }

    // The block list and the import go through the desktop's code, with its reasons; the
    // export reads back what was imported.
    void blockListAndBook() {
        WebServerFixture f;
        QVERIFY(f.service->start());
        const QByteArray token = f.tokenHeader({});
        const auto post = [&](const QByteArray &path, const QByteArray &body) {
            return f.http("POST " + path, body, token);
        };
        QCOMPARE(post("/api/blocked", R"({"number":"+45 22 33 44 55","note":"Sælger"})").status,
                 200);
        QCOMPARE(post("/api/blocked", R"({"number":"7070*","note":"x;y"})").json(),
                 QJsonObject({{"error", BlockList::noteProblem("x;y")}}));
        QCOMPARE(post("/api/blocked/remove", R"({"number":"99"})").json().value("error"),
                 "99 is not on the block list");
        const QJsonArray entries = f.http("GET /api/blocked").json().value("entries").toArray();
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0]["number"], "22334455");
        QCOMPARE(entries[0]["note"], "Sælger");
        QCOMPARE(post("/api/blocked/remove", R"({"number":"22334455"})").status, 200);
        QCOMPARE(f.http("GET /api/blocked").json().value("entries").toArray().size(), 0);

        const QByteArray card =
            "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Karen Holm\r\n"
            "TEL;TYPE=cell:40404040\r\nEND:VCARD\r\n";
        QSignalSpy changed(f.service.get(), &Service::recentCallsChanged);
        const QJsonObject check = post("/api/import?dryRun=1", card).json();
        QCOMPARE(check.value("added"), 1);
        QVERIFY(check.value("text").toString().endsWith("Dry run: nothing was changed."));
        QCOMPARE(changed.size(), 0);
        QCOMPARE(post("/api/import", card).json().value("text"),
                 "Added 1, updated 0, unchanged 0, refused 0.");
        QCOMPARE(changed.size(), 1);
        QVERIFY(f.http("GET /api/export.vcf").body.contains("FN:Karen Holm"));
        QVERIFY(!post("/api/import", "no card").json().value("failure").toString().isEmpty());
    }

    // Contacts are saved by the client protocol's code, with its reasons; a hostile name
    // comes back as the same text in well-formed JSON; naming an unrecognised caller makes a
    // contact with the caller's number.
    void contacts() {
        WebServerFixture f;
        QVERIFY(f.service->start());
        const QString hostile = QStringLiteral("<script>alert(\"1\")</script>\\");
        const Answer added = f.save("new", {{"name", hostile}, {"mobile", "40404040"}});
        QCOMPARE(added.status, 200);
        const QJsonArray found =
            f.http("GET /api/contacts?q=%3Cscript").json().value("contacts").toArray();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().toObject().value("name").toString(), hostile);
        QCOMPARE(f.save("new", {{"name", QString(QChar(0))}}).json().value("error"),
                 "A contact value cannot hold a NUL character");
        QCOMPARE(f.save("999", {{"name", "Eva"}}).json().value("error"),
                 "No contact has the ID 999");
        QCOMPARE(f.http("GET /api/contacts/999").status, 404);

        QVERIFY(f.device.write("A22334455#"));
        QTRY_COMPARE(f.http("GET /api/calls").json().value("calls").toArray().size(), 1);
        const QJsonObject call = f.http("GET /api/calls").json().value("calls")[0].toObject();
        QCOMPARE(call.value("unrecognized"), true);
        const QByteArray key = QByteArray::number(call.value("contactId").toInteger());
        QCOMPARE(f.http("GET /api/contacts/" + key).json().value("contact")["number"], "22334455");
        const QJsonObject named =
            f.save(key, {{"name", "Karen Holm"}}).json().value("contact").toObject();
        QCOMPARE(named.value("unrecognized"), false);
        QCOMPARE(named.value("home"), "22334455");
        const QJsonObject card = f.http("GET /api/contacts/" + key).json();
        QCOMPARE(card.value("callsTotal"), 1);
        QCOMPARE(card.value("lastCalls")[0].toObject().value("name"), "Karen Holm");
    }

    // A connection whose request does not come whole in time, or that stays idle after one,
    // is closed, and a WebSocket that has not answered a ping by the next; one that answers
    // outlives the deadlines of the connection it came on.
    void timeouts() {
        WebServerFixture f(QString(), {200, 400, 300});
        QVERIFY(f.service->start());
        QTcpSocket silent;
        QTcpSocket kept;
        QTcpSocket deaf;
        for (QTcpSocket *socket : {&silent, &kept, &deaf})
            socket->connectToHost(QHostAddress::LocalHost, f.service->webPort());
        kept.write("GET /app.css HTTP/1.1\r\nHost: localhost\r\n\r\n");
        deaf.write("GET /events HTTP/1.1\r\nHost: localhost\r\n" + kUpgrade + "\r\n");
        QWebSocket events;
        QSignalSpy opened(&events, &QWebSocket::connected);
        events.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/events").arg(f.service->webPort())));
        QVERIFY(opened.wait());
        QTRY_COMPARE(silent.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(kept.state(), QAbstractSocket::ConnectedState);
        QTRY_COMPARE(kept.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(kept.readAll().startsWith("HTTP/1.1 200"));
        QTRY_COMPARE(deaf.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(deaf.readAll().startsWith("HTTP/1.1 101"));
        QCOMPARE(events.state(), QAbstractSocket::ConnectedState);
    }

    // Pages of 50 go down the call keys; the live events bring each call and ring.
    void pagesAndEvents() {
        WebServerFixture f;
        QVERIFY(f.service->start());
        QWebSocket events;
        QSignalSpy opened(&events, &QWebSocket::connected);
        QSignalSpy received(&events, &QWebSocket::textMessageReceived);
        events.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/events").arg(f.service->webPort())));
        QVERIFY(opened.wait());
        QVERIFY(f.device.write("A00000001#R"));
        QTRY_COMPARE(received.size(), 2);
        const QJsonObject call =
            QJsonDocument::fromJson(received[0][0].toString().toUtf8()).object();
        QCOMPARE(call.value("type"), "call");
        QCOMPARE(call.value("call")["number"], "00000001");
        QCOMPARE(
            QJsonDocument::fromJson(received[1][0].toString().toUtf8()).object(),
            QJsonObject({{"type", "ring"}, {"callId", call.value("call")["id"]}, {"rings", 1}}));

        QByteArray calls;
        for (int number = 2; number <= 60; ++number)
            calls += QStringLiteral("A%1#").arg(number, 8, 10, QChar(u'0')).toLatin1();
        QVERIFY(f.device.write(calls));
        QTRY_COMPARE(received.size(), 61);
        const QJsonObject first = f.http("GET /api/calls").json();
        QCOMPARE(first.value("calls").toArray().size(), 50);
        QCOMPARE(first.value("calls")[0]["number"], "00000060");
        QCOMPARE(first.value("older"), first.value("calls")[49]["id"]);
        const QJsonObject second =
            f.http("GET /api/calls?before=" + QByteArray::number(first.value("older").toInteger()))
                .json();
        QCOMPARE(second.value("calls").toArray().size(), 10);
        QCOMPARE(second.value("calls")[0]["number"], "00000010");
        QVERIFY(second.value("older").isNull());
        const QJsonObject stats = f.http("GET /api/stats").json();
        QCOMPARE(stats.value("unknown").toArray().size(), 20);
        QCOMPARE(stats.value("unknown")[0]["calls"], 1);
        QCOMPARE(stats.value("top").toArray().size(), 0);
    }
};

QTEST_GUILESS_MAIN(WebTest)
#include "web_test.moc"
