// SPDX-License-Identifier: GPL-3.0-or-later
// The real headless server for a set time under a steady mixed load:
//   - a call every second from a pseudo-terminal (now and then a withheld one);
//   - 200 clients that connect and leave at random: most log in and send valid and invalid
//     requests, some send a wrong password, some none at all;
//   - a fake directory that answers, hangs or resets the connection.
// Every 10 s it samples the server's resident memory, its open descriptors and the answer
// latency, and it ends with a table and a verdict: memory and descriptors flat (the last
// third of the samples within 5% of the first third), no answer over 1 s, every call in
// the database, PRAGMA integrity_check ok.
// Usage: soak_bench [SECONDS [SERVER_BINARY]]   (default 600, the server built with it)

#include <signal.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

#include "db/database.h"
#include "support/greeting.h"
#include "support/process_memory.h"
#include "support/pseudo_terminal.h"
#include "support/server_process.h"

using namespace ringwise;
using namespace ringwise::test;
using namespace ringwise::bench;

namespace {

constexpr int kClients = 200;
constexpr int kSampleMs = 10000;
constexpr qint64 kLatencyLimitMs = 1000;
constexpr double kFlatShare = 0.05;
// The clients add contacts until the book holds this many of theirs; later saves edit the
// first contacts instead. A book that grew all hour would grow the server's page cache and
// its answers with it, and memory would then measure the book rather than the server.
constexpr int kMaxNewContacts = 100;
const QByteArray kPassword = "soak-password";

QRandomGenerator &generator() {
    static QRandomGenerator generator(20240304);
    return generator;
}

int between(int low, int high) {
    return int(generator().bounded(low, high + 1));
}

// The answer latencies seen since the last sample.
struct Latencies {
    std::vector<qint64> ms;
    qint64 worst = 0;

    void add(qint64 value) {
        ms.push_back(value);
        worst = std::max(worst, value);
    }
};

// One of the clients: connects, (maybe) logs in, sends requests, leaves, comes back.
class SoakClient : public QObject {
public:
    SoakClient(int id, quint16 port, Latencies &latencies, int &newContacts)
        : m_id(id), m_port(port), m_latencies(latencies), m_newContacts(newContacts) {
        connect(&m_socket, &QTcpSocket::connected, this, [this] { expect(kGreeting); });
        connect(&m_socket, &QTcpSocket::readyRead, this, &SoakClient::onReadyRead);
        connect(&m_socket, &QTcpSocket::disconnected, this, &SoakClient::comeBackLater);
        connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] {
            if (m_socket.state() == QAbstractSocket::UnconnectedState)
                comeBackLater();
        });
        m_next.setSingleShot(true);
        connect(&m_next, &QTimer::timeout, this, &SoakClient::act);
        m_next.start(between(0, 5000));
    }

    ~SoakClient() override {
        // Closing the socket reports a disconnection, which must not reach a half-destroyed
        // client.
        m_socket.disconnect(this);
        m_socket.abort();
    }

    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    qint64 requests() const { return m_requests; }

private:
    enum class Role { Good, WrongPassword, Silent };

    void act() {
        if (!connected()) {
            connectAgain();
            return;
        }
        if (m_leaveTimer.hasExpired(m_lifetimeMs)) {
            // Half leave with an orderly close, half with a reset.
            if (generator().bounded(2))
                m_socket.disconnectFromHost();
            else
                m_socket.abort();
            comeBackLater();
            return;
        }
        if (m_role == Role::Good && m_loggedIn)
            sendRequest();
        m_next.start(between(1000, 8000));
    }

    void connectAgain() {
        const int dice = between(1, 100);
        m_role = dice <= 85 ? Role::Good : dice <= 93 ? Role::WrongPassword : Role::Silent;
        m_loggedIn = false;
        m_lifetimeMs = between(10000, 60000);
        m_leaveTimer.start();
        m_tail.clear();
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
        m_next.start(between(1000, 8000));
    }

    void comeBackLater() {
        m_expected.clear();
        m_loggedIn = false;
        m_next.start(between(100, 3000));
    }

    void expect(const QByteArray &text) {
        m_expected = text;
        m_sent.start();
    }

    void onReadyRead() {
        m_tail += m_socket.readAll();
        if (!m_expected.isEmpty() && m_tail.contains(m_expected)) {
            m_latencies.add(m_sent.elapsed());
            const QByteArray seen = m_expected;
            m_expected.clear();
            answered(seen);
        }
        // Only the end is kept: an awaited text is always shorter than this.
        if (m_tail.size() > 512)
            m_tail = m_tail.right(512);
    }

    void answered(const QByteArray &seen) {
        if (seen == kGreeting) {
            m_tail.clear();
            if (m_role == Role::Good) {
                send(kPassword);
                expect("Password accepted.");
            } else if (m_role == Role::WrongPassword) {
                send("not-the-password");
            }
        } else if (seen == "Password accepted.") {
            m_loggedIn = true;
        }
    }

    void send(const QByteArray &bytes) {
        m_socket.write(bytes);
        ++m_requests;
    }

    void sendRequest() {
        const int dice = between(1, 100);
        if (dice <= 30) {
            // A view no server knows is answered with the request itself: a probe whose
            // answer is this client's alone.
            const QByteArray probe =
                "STATS:P" + QByteArray::number(m_id) + "x" + QByteArray::number(++m_probes) + ";";
            send(probe);
            expect(probe);
            return;
        }
        static const QList<QByteArray> requests = {
            "STATS:LAST;10", "STATS:LAST;10", "STATS:TOPS;10", "STATS:UNKN;10", "STATS:CNTS;00",
            "CNTAC:SEAR;ALLF;12", "CNTAC:SEAR;NAME;Soak", "CNTAC:SEAR;PHON;4000,@ID:3",
            "CNTAC:SAVE;NEW,Soak Kontakt,40001234,,,,",
            "CNTAC:SAVE;2,Soak Rettet,40001235,,soak@example.dk,,",
            // Malformed: no answer, or an error answer.
            "STATS:LAST", "STATS:LAST;abc", "CNTAC:SAVE;x,a,b,c,d,e,f", "CNTAC:SAVE;NEW,a",
            "PONG_:1234",
            // Refused: the server says so and closes.
            "HELLO"};
        // CNTS answers with the whole book: rarely.
        QByteArray request;
        do {
            request = requests.at(int(generator().bounded(qsizetype(requests.size()))));
        } while (request == "STATS:CNTS;00" && generator().bounded(10) != 0);
        if (request.startsWith("CNTAC:SAVE;NEW,Soak") && m_newContacts++ >= kMaxNewContacts)
            request = "CNTAC:SAVE;" + QByteArray::number(between(1, kMaxNewContacts)) +
                      ",Soak Kontakt,40001234,,,,";
        send(request);
    }

    int m_id;
    quint16 m_port;
    Latencies &m_latencies;
    int &m_newContacts;
    QTcpSocket m_socket;
    QTimer m_next;
    QElapsedTimer m_leaveTimer;
    QElapsedTimer m_sent;
    Role m_role = Role::Good;
    bool m_loggedIn = false;
    int m_lifetimeMs = 0;
    qint64 m_probes = 0;
    qint64 m_requests = 0;
    QByteArray m_expected;
    QByteArray m_tail;
};

// The directory: reads the request, then answers with a result page, never answers, or
// resets the connection.
class FakeDirectory : public QObject {
public:
    FakeDirectory() {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, &FakeDirectory::accept);
    }

    quint16 port() const { return m_server.serverPort(); }
    QString counts() const {
        return QStringLiteral("%1 answered, %2 hung, %3 reset")
            .arg(m_answered)
            .arg(m_hung)
            .arg(m_reset);
    }

private:
    void accept() {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onRequest(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void onRequest(QTcpSocket *socket) {
        if (!socket->peek(4096).contains("\r\n\r\n"))
            return;
        socket->readAll();
        const int dice = between(1, 100);
        if (dice <= 60) {
            const QByteArray page =
                "<html><table><tr><td><img src=\"../img/oplysningen/ikoner/resultat-pil.gif\" "
                "width=\"15\" height=\"12\"></td><td class=\"navn\">Soak Navn " +
                QByteArray::number(++m_answered) + "</td></tr></table></html>";
            socket->write("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(page.size()) +
                          "\r\n\r\n" + page);
            socket->disconnectFromHost();
        } else if (dice <= 80) {
            // The server gives up after its own time-out; the socket closes later still.
            ++m_hung;
            QTimer::singleShot(30000, socket, [socket] { socket->abort(); });
        } else {
            ++m_reset;
            const linger reset = {1, 0};
            ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                         sizeof reset);
            socket->abort();
        }
    }

    QTcpServer m_server;
    int m_answered = 0;
    int m_hung = 0;
    int m_reset = 0;
};

struct Sample {
    int seconds;
    double rssMiB;
    int descriptors;
    int clients;
    qint64 calls;
    qint64 requests;
    qint64 answers;
    qint64 medianMs;
    qint64 worstMs;
};

// The mean of the last third against the mean of the first third.
template <typename Value>
bool flat(const std::vector<Sample> &samples, Value value, double slack) {
    const size_t third = samples.size() / 3;
    if (third == 0)
        return true;
    double first = 0;
    double last = 0;
    for (size_t i = 0; i < third; ++i) {
        first += value(samples[i]);
        last += value(samples[samples.size() - 1 - i]);
    }
    first /= double(third);
    last /= double(third);
    return last <= first * (1 + kFlatShare) + slack;
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const int seconds = arguments.size() > 1 ? arguments.at(1).toInt() : 600;
    const QString binary =
        arguments.size() > 2 ? arguments.at(2) : QStringLiteral(RINGWISE_SERVER_BINARY);
    QTextStream out(stdout);

    FakeDirectory directory;
    PseudoTerminal device;
    ServerProcess server(binary);
    server.setSetting(QStringLiteral("ServerCOM"), device.slavePath());
    server.setSetting(QStringLiteral("ServerCheckDGS"), QStringLiteral("True"));
    server.setSetting(QStringLiteral("ServerPassword"), QString::fromLatin1(kPassword));
    // Every client comes from 127.0.0.1: the per-address cap would hold them to 64.
    server.setSetting(QStringLiteral("ServerMaxPerAddress"), QStringLiteral("0"));
    server.setSetting(QStringLiteral("ServerDirectoryHost"),
                      QStringLiteral("http://127.0.0.1:%1").arg(directory.port()));
    server.start();
    if (!server.waitUntilListening()) {
        out << "the server did not start: " << server.standardError() << Qt::endl;
        return 1;
    }
    const qint64 pid = server.process().processId();
    // The device output would fill the pipe; it is read and dropped.
    QObject::connect(&server.process(), &QProcess::readyReadStandardOutput,
                     [&server] { server.process().readAllStandardOutput(); });
    QObject::connect(&server.process(), &QProcess::readyReadStandardError,
                     [&server] { server.process().readAllStandardError(); });
    out << "soak: " << seconds << " s, server pid " << pid << ", " << kClients << " clients"
        << Qt::endl;

    Latencies latencies;
    int newContacts = 0;
    std::vector<std::unique_ptr<SoakClient>> clients;
    for (int id = 1; id <= kClients; ++id)
        clients.push_back(std::make_unique<SoakClient>(id, server.port(), latencies, newContacts));

    qint64 calls = 0;
    QTimer caller;
    QObject::connect(&caller, &QTimer::timeout, [&] {
        // A pool of numbers: new callers at first, known ones later, now and then withheld.
        const QByteArray call = generator().bounded(20) == 0
                                    ? QByteArray("D#RR")
                                    : "A4000" + QByteArray::number(between(1000, 1499)) + "#RRR";
        if (device.write(call))
            ++calls;
    });
    caller.start(1000);

    std::vector<Sample> samples;
    std::vector<qint64> allLatencies;
    QElapsedTimer clock;
    clock.start();
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        std::vector<qint64> window = std::move(latencies.ms);
        latencies.ms.clear();
        std::sort(window.begin(), window.end());
        qint64 requests = 0;
        int connected = 0;
        for (const auto &client : clients) {
            requests += client->requests();
            connected += client->connected();
        }
        samples.push_back({int(clock.elapsed() / 1000), residentMemory(pid).all / 1024,
                           openDescriptors(pid), connected, calls, requests, qint64(window.size()),
                           window.empty() ? 0 : window[window.size() / 2], latencies.worst});
        allLatencies.insert(allLatencies.end(), window.begin(), window.end());
        latencies.worst = 0;
        const Sample &s = samples.back();
        out << QStringLiteral(
                   "%1 s  rss %2 MiB  fds %3  clients %4  calls %5  answers %6  "
                   "median %7 ms  worst %8 ms")
                   .arg(s.seconds)
                   .arg(s.rssMiB, 0, 'f', 1)
                   .arg(s.descriptors)
                   .arg(s.clients)
                   .arg(s.calls)
                   .arg(s.answers)
                   .arg(s.medianMs)
                   .arg(s.worstMs)
            << Qt::endl;
        if (clock.elapsed() >= qint64(seconds) * 1000)
            application.quit();
    });
    sampler.start(kSampleMs);
    application.exec();

    caller.stop();
    // The last call written is handled before the server is stopped.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    clients.clear();
    server.terminate();
    const bool stopped = server.waitForExit();

    qint64 stored = -1;
    QString integrity;
    try {
        Database database;
        database.open(server.environment().databasePath(), Database::OpenMode::MustExist);
        stored = database.query(QStringLiteral("SELECT COUNT(*) AS n FROM tblCalls"))
                     .field("n")
                     .toLongLong();
        integrity =
            database.query(QStringLiteral("PRAGMA integrity_check")).field("integrity_check");
    } catch (const std::exception &error) {
        integrity = QString::fromUtf8(error.what());
    }

    std::sort(allLatencies.begin(), allLatencies.end());
    const qint64 worst = allLatencies.empty() ? 0 : allLatencies.back();
    const auto percentile = [&](double share) {
        return allLatencies.empty() ? 0
                                    : allLatencies[size_t(share * double(allLatencies.size() - 1))];
    };
    // Descriptors count the clients connected at that moment; what is left is the server's own.
    const bool memoryFlat = flat(
        samples, [](const Sample &s) { return s.rssMiB; }, 0);
    const bool descriptorsFlat = flat(
        samples, [](const Sample &s) { return double(s.descriptors - s.clients); }, 2);
    const bool fast = worst <= kLatencyLimitMs;
    const bool allCalls = stored == calls;
    const bool sound = integrity == QLatin1String("ok");

    out << "\n| s | RSS MiB | fds | clients | fds - clients | calls | requests | answers | median "
           "ms | worst ms |\n"
        << "|---|---|---|---|---|---|---|---|---|---|\n";
    for (const Sample &s : samples) {
        out << "| " << s.seconds << " | " << QString::number(s.rssMiB, 'f', 1) << " | "
            << s.descriptors << " | " << s.clients << " | " << s.descriptors - s.clients << " | "
            << s.calls << " | " << s.requests << " | " << s.answers << " | " << s.medianMs << " | "
            << s.worstMs << " |\n";
    }
    out << "\nanswers timed: " << allLatencies.size() << ", median " << percentile(0.5)
        << " ms, 99th " << percentile(0.99) << " ms, worst " << worst << " ms\n"
        << "directory: " << directory.counts() << "\n"
        << "memory flat (last third within 5% of first): " << (memoryFlat ? "yes" : "NO") << "\n"
        << "descriptors flat (server's own, within 5% or 2): " << (descriptorsFlat ? "yes" : "NO")
        << "\n"
        << "no answer over 1 s: " << (fast ? "yes" : "NO") << "\n"
        << "every call stored: " << stored << " of " << calls << (allCalls ? " yes" : " NO") << "\n"
        << "integrity_check: " << integrity << "\n"
        << "server stopped in order: " << (stopped ? "yes" : "NO") << "\n";
    const bool pass = memoryFlat && descriptorsFlat && fast && allCalls && sound && stopped;
    out << "verdict: " << (pass ? "PASS" : "FAIL") << Qt::endl;
    return pass ? 0 : 1;
}
