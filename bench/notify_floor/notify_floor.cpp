// SPDX-License-Identifier: GPL-3.0-or-later
// The call path against its floor. The real headless server and notify_relay, a program of a
// few lines that reads the pseudo-terminal and sends one fixed line to every client, take
// turns on the same calls (server, relay, server, ...) with 1, 10, 50 and 1,000 clients each.
// For each: the time from the "#" written to the device until the last client holds the
// whole call line, the server's median over the relay's, and the CPU time per call of all
// of each program's threads. One row more has a new caller on every call, which the server
// stores as a new contact. Above the table: the machine, the server's resident memory, and
// how long a client request waits when it comes while a call is being flushed to the disk.
// Usage: notify_floor [SERVER_BINARY]   (default: the server built with it)

#include <sys/utsname.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <vector>

#include "support/greeting.h"
#include "support/loopback_clients.h"
#include "support/process_cpu.h"
#include "support/process_memory.h"
#include "support/pseudo_terminal.h"
#include "support/server_process.h"

using namespace ringwise::test;
using namespace ringwise::bench;

namespace {

constexpr int kWarmUpCalls = 5;
constexpr int kCalls = 200;
// Before each "#": the previous call's work after its line (the disk sync, the rings) is
// done, and the number's digits have been read on their own.
constexpr int kPauseMs = 20;
const QByteArray kKnownNumber = "12345678";

// What the server announces for a caller without a name (directory lookups are off).
QByteArray callLine(const QByteArray &number) {
    return "CALL_:," + number + ",,,,,,";
}

// Waits in the event loop, which meanwhile drains the programs' output pipes.
void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One program under test: its device, its process and its clients.
struct Program {
    const char *name;
    PseudoTerminal &device;
    qint64 pid;
    LoopbackClients clients;
    // The line its clients receive for a call from `number`.
    std::function<QByteArray(const QByteArray &number)> lineFor;
};

struct Figures {
    std::vector<double> millis;
    double cpuMicros = 0;
};

struct Row {
    QString clients;
    std::array<Figures, 2> programs;
};

// One call: the number, a pause, the "#" timed until the last client holds the whole line,
// then two rings. Returns the milliseconds; negative when a client did not get the line.
double call(Program &program, const QByteArray &number) {
    const QByteArray line = program.lineFor(number);
    program.device.write("A" + number);
    pause(kPauseMs);
    program.clients.clearReceived();
    QElapsedTimer timer;
    timer.start();
    program.device.write("#");
    const bool reached = program.clients.waitUntilAllFrom(0, int(line.size()), 5000);
    const double ms = timer.nsecsElapsed() / 1e6;
    program.device.write("RR");
    if (!reached || program.clients.received(0) != line) {
        std::printf("%s: the clients got \"%s\", not \"%s\"\n", program.name,
                    program.clients.received(0).constData(), line.constData());
        return -1;
    }
    return ms;
}

// The programs take turns: a few calls to warm up, then kCalls each, timed.
bool measure(std::array<Program *, 2> programs, const std::function<QByteArray()> &nextNumber,
             Row &row) {
    for (int i = 0; i < kWarmUpCalls; ++i) {
        const QByteArray number = nextNumber();
        for (Program *program : programs) {
            if (call(*program, number) < 0)
                return false;
        }
    }
    std::array<qint64, 2> cpuBefore;
    for (int p = 0; p < 2; ++p)
        cpuBefore[p] = cpuTimeNs(programs[p]->pid);
    for (int i = 0; i < kCalls; ++i) {
        const QByteArray number = nextNumber();
        for (int p = 0; p < 2; ++p) {
            const double ms = call(*programs[p], number);
            if (ms < 0)
                return false;
            row.programs[p].millis.push_back(ms);
        }
    }
    for (int p = 0; p < 2; ++p)
        row.programs[p].cpuMicros = (cpuTimeNs(programs[p]->pid) - cpuBefore[p]) / 1e3 / kCalls;
    return true;
}

// A request whose answer is small and cheap; the answer's head is enough to wait for.
const QByteArray kRequest = "STATS:LAST;1";
constexpr int kAnswerHead = 10;

// Milliseconds from the request to its answer, with the server's one client.
double ask(Program &server) {
    server.clients.clearReceived();
    QElapsedTimer timer;
    timer.start();
    if (!server.clients.send(0, kRequest) || !server.clients.waitUntilAllFrom(0, kAnswerHead, 5000))
        return -1;
    return timer.nsecsElapsed() / 1e6;
}

// The request alone, then the same request sent the moment a call's line has arrived, when
// the server is flushing that call to the disk.
bool measureRequests(Program &server, std::vector<double> &idle, std::vector<double> &afterCall) {
    for (int i = 0; i < kWarmUpCalls + kCalls; ++i) {
        const double alone = ask(server);
        server.device.write("A" + kKnownNumber);
        pause(kPauseMs);
        server.clients.clearReceived();
        server.device.write("#");
        if (alone < 0 || !server.clients.waitUntilAllFrom(0, int(callLine(kKnownNumber).size())))
            return false;
        const double during = ask(server);
        server.device.write("RR");
        if (during < 0)
            return false;
        if (i >= kWarmUpCalls) {
            idle.push_back(alone);
            afterCall.push_back(during);
        }
    }
    return true;
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[size_t(fraction * (values.size() - 1) + 0.5)];
}

QByteArray machine() {
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    QByteArray model = "unknown CPU";
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cpuinfo.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                model = line.mid(line.indexOf(':') + 1).trimmed();
                break;
            }
        }
    }
    utsname system = {};
    ::uname(&system);
    return QByteArray::number(QThread::idealThreadCount()) + " cores, " + model + ", " +
           system.sysname + ' ' + system.release;
}

void printTable(const std::vector<Row> &rows) {
    std::printf(
        "\nFrom the \"#\" written to the device to the last client holding the whole line\n");
    std::printf("(ms; %d calls per program and row, the programs in turns), and the CPU time of\n",
                kCalls);
    std::printf("all the program's threads per call (its number, the \"#\" and two rings):\n\n");
    std::printf(
        "                         server ms          relay ms   server/relay   CPU µs per call\n"
        "clients             median     p95    median     p95     of medians   server   relay\n");
    for (const Row &row : rows) {
        const Figures &server = row.programs[0];
        const Figures &relay = row.programs[1];
        const double serverMedian = percentile(server.millis, 0.5);
        const double relayMedian = percentile(relay.millis, 0.5);
        std::printf("%-16s %9.3f %7.3f %9.3f %7.3f %14.2f %8.0f %7.0f\n", qPrintable(row.clients),
                    serverMedian, percentile(server.millis, 0.95), relayMedian,
                    percentile(relay.millis, 0.95), serverMedian / relayMedian, server.cpuMicros,
                    relay.cpuMicros);
    }
}

}  // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    LoopbackClients::raiseDescriptorLimit();
    const QString serverBinary =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(RINGWISE_SERVER_BINARY);
    std::printf("Machine: %s\nServer:  %s\n", machine().constData(), qPrintable(serverBinary));

    PseudoTerminal serverDevice;
    ServerProcess server(serverBinary);
    server.setSetting(QStringLiteral("ServerCOM"), serverDevice.slavePath());
    server.setSetting(QStringLiteral("ServerCheckDGS"), QStringLiteral("False"));
    // Every client comes from 127.0.0.1; no keep-alive lands among the measured calls. The
    // settings have no password, so every client receives the calls without logging in.
    server.setSetting(QStringLiteral("ServerMaxPerAddress"), QStringLiteral("0"));
    server.setSetting(QStringLiteral("ServerPing"), QStringLiteral("3600"));
    server.start();
    if (!server.waitUntilListening()) {
        std::printf("the server did not start: %s\n", server.standardError().constData());
        return 1;
    }
    const qint64 serverPid = server.process().processId();
    const ResidentMemory idle = residentMemory(serverPid);

    PseudoTerminal relayDevice;
    QProcess relay;
    relay.start(QStringLiteral(RINGWISE_RELAY_BINARY),
                {relayDevice.slavePath(), QString::fromLatin1(kGreeting),
                 QString::fromLatin1(callLine(kKnownNumber))});
    const quint16 relayPort =
        relay.waitForReadyRead(5000) ? relay.readLine().trimmed().toUShort() : 0;
    if (relayPort == 0) {
        std::printf("the relay did not start: %s\n", relay.readAllStandardError().constData());
        return 1;
    }

    Program serverProgram{"server", serverDevice, serverPid, LoopbackClients(server.port()),
                          callLine};
    Program relayProgram{"relay", relayDevice, relay.processId(), LoopbackClients(relayPort),
                         [](const QByteArray &) { return callLine(kKnownNumber); }};
    const std::array<Program *, 2> programs = {&serverProgram, &relayProgram};

    const auto knownCaller = [] { return kKnownNumber; };
    int newCallers = 0;
    const auto newCaller = [&newCallers] { return QByteArray::number(20000000 + ++newCallers); };
    std::vector<Row> rows;
    ResidentMemory perClient;
    std::vector<double> idleRequests;
    std::vector<double> requestsAfterCall;
    for (const int count : {1, 10, 50, 1000}) {
        const int added = count - serverProgram.clients.size();
        const ResidentMemory before = residentMemory(serverPid);
        for (Program *program : programs) {
            if (!program->clients.connect(added)) {
                std::printf("%s: clients were not greeted\n", program->name);
                return 1;
            }
        }
        const ResidentMemory after = residentMemory(serverPid);
        if (count == 1 && !measureRequests(serverProgram, idleRequests, requestsAfterCall)) {
            std::printf("server: a request was not answered\n");
            return 1;
        }
        perClient = {(after.all - before.all) / added,
                     (after.anonymous - before.anonymous) / added};
        rows.push_back(Row{QLocale(QLocale::English).toString(count), {}});
        if (!measure(programs, knownCaller, rows.back()))
            return 1;
        if (count == 10) {
            rows.push_back(Row{QStringLiteral("10, new callers"), {}});
            if (!measure(programs, newCaller, rows.back()))
                return 1;
        }
    }
    // The last clients added, from 50 to 1,000, tell what one costs.
    std::printf(
        "Server resident memory: idle %.1f MiB (heap %.1f MiB); per idle client, from 50 "
        "to 1,000 clients, %.1f KiB (heap %.1f KiB)\n",
        idle.all / 1024, idle.anonymous / 1024, perClient.all, perClient.anonymous);
    std::printf(
        "A request (\"%s\") answered in %.3f ms median alone; sent as a call's line "
        "arrives, in %.3f ms median, %.3f ms p99, %.3f ms at most\n",
        kRequest.constData(), percentile(idleRequests, 0.5), percentile(requestsAfterCall, 0.5),
        percentile(requestsAfterCall, 0.99), percentile(requestsAfterCall, 1.0));
    printTable(rows);
    relay.terminate();
    relay.waitForFinished();
    server.terminate();
    server.waitForExit();
    return 0;
}
