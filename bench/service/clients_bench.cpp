// SPDX-License-Identifier: GPL-3.0-or-later
// The real headless server under many clients (plain sockets on one epoll set).
//   1. connects 10,000 clients in batches of 500: the time of each batch, ratio last/first;
//   2. the server's resident memory idle, per idle client, and after they all leave;
//   3. the time from all of them leaving (reset at once) to the next client's greeting;
//   4. fan-out: with 10, 100, 1,000 and 10,000 clients, the time from the "#" written to the
//      pseudo-terminal until the last client holds the whole "CALL_:," line, per client.
// Usage: clients_bench [TOTAL [SERVER_BINARY]]   (default 10000, the server built with it)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <algorithm>
#include <vector>

#include "support/loopback_clients.h"
#include "support/process_memory.h"
#include "support/pseudo_terminal.h"
#include "support/server_process.h"

using namespace ringwise::test;
using namespace ringwise::bench;

namespace {

constexpr int kBatch = 500;
constexpr int kCalls = 11;

// The server binary: the one built with this benchmark, or another given on the command
// line (an earlier build, for a before-and-after comparison).
QString g_serverBinary = QStringLiteral(RINGWISE_SERVER_BINARY);

QString mib(const ResidentMemory &kib) {
    return QStringLiteral("%1 MiB (heap %2 MiB)")
        .arg(kib.all / 1024, 0, 'f', 1)
        .arg(kib.anonymous / 1024, 0, 'f', 1);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Server {
    Server() : process(g_serverBinary) {
        process.setSetting("ServerCOM", device.slavePath());
        process.setSetting("ServerCheckDGS", "False");
        // Every client comes from 127.0.0.1, and there are as many as the table may hold.
        process.setSetting("ServerMaxPerAddress", "0");
        process.setSetting("ServerMaxClients", "32767");
        process.start();
    }
    ~Server() {
        process.terminate();
        process.waitForExit();
    }
    bool waitUntilListening() {
        if (!process.waitUntilListening())
            return false;
        port = process.port();
        return true;
    }
    ResidentMemory rss() { return residentMemory(process.process().processId()); }
    void settle(int ms) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    PseudoTerminal device;
    ServerProcess process;
    quint16 port = 0;
};

void connectInBatches(int total, QTextStream &out) {
    Server server;
    if (!server.waitUntilListening()) {
        out << "server did not start: " << server.process.standardError() << Qt::endl;
        return;
    }
    const ResidentMemory idle = server.rss();
    LoopbackClients clients(server.port);
    std::vector<double> batches;
    out << "Connecting " << total << " clients in batches of " << kBatch << " (ms per batch):";
    while (clients.size() < total) {
        QElapsedTimer timer;
        timer.start();
        if (!clients.connect(std::min(kBatch, total - clients.size()))) {
            out << Qt::endl << "clients were not greeted" << Qt::endl;
            return;
        }
        batches.push_back(timer.nsecsElapsed() / 1e6);
        out << ' ' << QString::number(batches.back(), 'f', 0);
        out.flush();
    }
    const ResidentMemory loaded = server.rss();
    out << Qt::endl
        << "  first " << QString::number(batches.front(), 'f', 1) << " ms, last "
        << QString::number(batches.back(), 'f', 1) << " ms, ratio last/first "
        << QString::number(batches.back() / batches.front(), 'f', 2) << Qt::endl;
    out << "  resident memory: idle " << mib(idle) << ", with " << total << " clients "
        << mib(loaded) << ": " << QString::number((loaded.all - idle.all) / total, 'f', 1)
        << " KiB per client (heap "
        << QString::number((loaded.anonymous - idle.anonymous) / total, 'f', 1) << " KiB)"
        << Qt::endl;

    clients.resetAll();
    QElapsedTimer timer;
    timer.start();
    LoopbackClients next(server.port);
    if (!next.connect(1)) {
        out << "  the next client was not greeted after " << timer.elapsed() << " ms" << Qt::endl;
        return;
    }
    out << "  all left at once; the next client was greeted after "
        << QString::number(timer.nsecsElapsed() / 1e6, 'f', 1) << " ms" << Qt::endl;
    // Let the server finish closing before its memory is read.
    server.settle(2000);
    out << "  resident memory after they left: " << mib(server.rss()) << Qt::endl;
}

void fanOut(int count, QTextStream &out) {
    Server server;
    if (!server.waitUntilListening())
        return;
    LoopbackClients clients(server.port);
    while (clients.size() < count) {
        if (!clients.connect(std::min(kBatch, count - clients.size()))) {
            out << "clients were not greeted" << Qt::endl;
            return;
        }
    }
    std::vector<double> millis;
    for (int call = 0; call < kCalls; ++call) {
        const QByteArray number = QByteArray::number(10000000 + call);
        const QByteArray line = "CALL_:," + number + ",,,,,,";
        clients.clearReceived();
        server.device.write("A" + number);
        QElapsedTimer timer;
        server.device.write("#");
        timer.start();
        if (!clients.waitUntilAllFrom(0, line.size())) {
            out << "call " << call << " did not reach every client" << Qt::endl;
            return;
        }
        millis.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double ms = median(millis);
    out << "  N=" << count << ": median " << QString::number(ms, 'f', 2)
        << " ms to the last client, " << QString::number(ms * 1000 / count, 'f', 2)
        << " us per client" << Qt::endl;
}

}  // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    LoopbackClients::raiseDescriptorLimit();

    const int total = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    if (argc > 2)
        g_serverBinary = QString::fromLocal8Bit(argv[2]);
    QTextStream out(stdout);
    connectInBatches(total, out);
    out << "Fan-out of one call line (median of " << kCalls << " calls):" << Qt::endl;
    for (int count : {10, 100, 1000, 10000}) {
        if (count <= total)
            fanOut(count, out);
    }
    return 0;
}
