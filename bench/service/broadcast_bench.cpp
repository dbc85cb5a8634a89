// Runs the real headless server with N logged-in loopback clients and measures the time
// from the "#" written to the pseudo-terminal until the last client has the whole
// "CALL_:," line, and the server's resident memory idle and with the clients.
// Usage: broadcast_bench [N ...]   (default 10 100 1000)

#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTextStream>
#include <algorithm>
#include <memory>
#include <vector>

#include "support/greeting.h"
#include "support/loopback.h"
#include "support/pseudo_terminal.h"
#include "support/server_process.h"

using namespace ringwise::test;

namespace {

const QByteArray kPassword = "bench-password";
const QByteArray kAccepted = "Password accepted.";
constexpr int kCalls = 20;

QString residentMemory(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return QString::fromLatin1(line.mid(6).simplified());
    return QStringLiteral("?");
}

// Runs the event loop until every client holds at least `size` bytes.
bool waitForAll(std::vector<std::unique_ptr<QTcpSocket>> &clients, std::vector<QByteArray> &buffers,
                int size, int timeoutMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        bool done = true;
        for (size_t i = 0; i < clients.size(); ++i) {
            buffers[i] += clients[i]->readAll();
            done = done && buffers[i].size() >= size;
        }
        if (done)
            return true;
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void runWith(int clientCount, QTextStream &out) {
    PseudoTerminal device;
    ServerProcess server(QStringLiteral(RINGWISE_SERVER_BINARY));
    server.setSetting("ServerCOM", device.slavePath());
    server.setSetting("ServerPassword", QString::fromLatin1(kPassword));
    server.setSetting("ServerCheckDGS", "False");
    server.start();
    if (!server.waitUntilListening()) {
        out << "server did not start: " << server.standardError() << Qt::endl;
        return;
    }
    const quint16 port = server.port();
    const QString idle = residentMemory(server.process().processId());

    // In batches, so the listen backlog never overflows into slow SYN retries.
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    std::vector<QByteArray> buffers;
    while (int(clients.size()) < clientCount) {
        for (int i = 0; i < 25 && int(clients.size()) < clientCount; ++i) {
            clients.push_back(std::make_unique<QTcpSocket>());
            buffers.emplace_back();
            clients.back()->connectToHost(QHostAddress::LocalHost, port);
        }
        if (!waitForAll(clients, buffers, kGreeting.size())) {
            out << "clients were not greeted" << Qt::endl;
            return;
        }
    }
    for (int i = 0; i < clientCount; ++i) {
        buffers[i].clear();
        clients[i]->write(kPassword);
    }
    if (!waitForAll(clients, buffers, kAccepted.size())) {
        out << "clients were not logged in" << Qt::endl;
        return;
    }

    std::vector<double> millis;
    for (int call = 0; call < kCalls; ++call) {
        const QByteArray number = QByteArray::number(10000000 + call);
        const QByteArray line = "CALL_:," + number + ",,,,,,";
        for (auto &buffer : buffers)
            buffer.clear();
        device.write("A" + number);
        QElapsedTimer timer;
        device.write("#");
        timer.start();
        if (!waitForAll(clients, buffers, line.size())) {
            out << "call " << call << " did not reach every client" << Qt::endl;
            return;
        }
        millis.push_back(timer.nsecsElapsed() / 1e6);
    }
    const QString loaded = residentMemory(server.process().processId());
    out << "N=" << clientCount << "  median " << QString::number(median(millis), 'f', 2)
        << " ms  (min " << QString::number(*std::min_element(millis.begin(), millis.end()), 'f', 2)
        << ", max " << QString::number(*std::max_element(millis.begin(), millis.end()), 'f', 2)
        << ")  RSS idle " << idle << ", with clients " << loaded << Qt::endl;
    server.terminate();
    server.waitForExit();
}

}  // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    // Each client is a descriptor here and one in the server.
    rlimit limit = {};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    QList<int> counts;
    for (const QString &argument : app.arguments().mid(1))
        counts << argument.toInt();
    if (counts.isEmpty())
        counts = {10, 100, 1000};
    QTextStream out(stdout);
    for (int count : counts)
        runWith(count, out);
    return 0;
}
