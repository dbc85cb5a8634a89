// SPDX-License-Identifier: GPL-3.0-or-later
// The time from the "#" written to the pseudo-terminal until a client holds the whole
// "CALL_:," line, with MQTT off, with a broker that takes the calls, and with a broker that
// takes the connection and never answers; with the broker up also the time until the call is
// on "ringwise/call" at a subscriber. The server's CPU time shows that nothing spins. The
// three take turns for ROUNDS rounds, so a machine busy with other work weighs on each alike.
// Usage: mqtt_bench [CALLS [ROUNDS]]   (default 30 calls, 3 rounds)

#include <sys/socket.h>
#include <unistd.h>

#include <netinet/in.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <algorithm>
#include <functional>
#include <vector>

#include "support/loopback_clients.h"
#include "support/mqtt_broker.h"
#include "support/process_cpu.h"
#include "support/pseudo_terminal.h"
#include "support/server_process.h"

using namespace ringwise::test;
using namespace ringwise::bench;

namespace {

QString spread(std::vector<double> millis) {
    std::sort(millis.begin(), millis.end());
    return QStringLiteral("median %1 ms, 90th %2 ms, max %3 ms")
        .arg(millis[millis.size() / 2], 0, 'f', 3)
        .arg(millis[millis.size() * 9 / 10], 0, 'f', 3)
        .arg(millis.back(), 0, 'f', 3);
}

// A loopback port that accepts connections into its backlog and never reads them.
struct SilentBroker {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    quint16 port = 0;
    SilentBroker() {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr *>(&address), size);
        ::listen(fd, 16);
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
        port = ntohs(address.sin_port);
    }
    ~SilentBroker() { ::close(fd); }
};

// What one way of running gathers over its rounds.
struct Figures {
    std::vector<double> toClient;
    std::vector<double> toSubscriber;
    qint64 cpuNs = 0;
};

void run(const QString &title, int calls, quint16 brokerPort, MqttSubscriber *subscriber,
         Figures &figures, QTextStream &out) {
    PseudoTerminal device;
    ServerProcess server(QStringLiteral(RINGWISE_SERVER_BINARY));
    server.setSetting("ServerCOM", device.slavePath());
    server.setSetting("ServerCheckDGS", "False");
    if (brokerPort != 0) {
        server.setSetting("MqttHost", "127.0.0.1");
        server.setSetting("MqttPort", QString::number(brokerPort));
    }
    server.start();
    if (!server.waitUntilListening()) {
        out << title << ": the server did not start" << Qt::endl;
        return;
    }
    LoopbackClients client(server.port());
    if (!client.connect(1)) {
        out << title << ": the client was not greeted" << Qt::endl;
        return;
    }
    const qint64 pid = server.process().processId();
    const qint64 cpuBefore = cpuTimeNs(pid);
    std::vector<double> &toClient = figures.toClient;
    std::vector<double> &toSubscriber = figures.toSubscriber;
    const int before = int(toSubscriber.size());
    if (subscriber)
        subscriber->messages();
    for (int call = 0; call < calls; ++call) {
        const QByteArray number = QByteArray::number(10000000 + call);
        const QByteArray line = "CALL_:," + number + ",,,,,,";
        client.clearReceived();
        device.write("A" + number);
        QElapsedTimer timer;
        device.write("#");
        timer.start();
        if (!client.waitUntilAllFrom(0, line.size())) {
            out << title << ": call " << call << " did not reach the client" << Qt::endl;
            return;
        }
        toClient.push_back(timer.nsecsElapsed() / 1e6);
        if (subscriber) {
            while (subscriber->messages().size() <= before + call && timer.elapsed() < 5000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            toSubscriber.push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    figures.cpuNs += cpuTimeNs(pid) - cpuBefore;
    server.terminate();
    server.waitForExit();
}

void print(const QString &title, const Figures &figures, QTextStream &out) {
    if (figures.toClient.empty())
        return;
    out << title << ": to the client " << spread(figures.toClient) << Qt::endl;
    if (!figures.toSubscriber.empty())
        out << title << ": to the subscriber " << spread(figures.toSubscriber) << Qt::endl;
    out << title << ": server CPU " << figures.cpuNs / 1e6 / figures.toClient.size()
        << " ms per call" << Qt::endl;
}

}  // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? QByteArray(argv[1]).toInt() : 30;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 3;
    QTextStream out(stdout);
    MqttBroker broker;
    if (!broker.start()) {
        out << "mosquitto did not start" << Qt::endl;
        return 1;
    }
    MqttSubscriber subscriber(broker.port(),
                              {QStringLiteral("-t"), QStringLiteral("ringwise/call")});
    subscriber.waitUntilSubscribed();
    SilentBroker silent;
    Figures off, up, quiet;
    for (int round = 0; round < rounds; ++round) {
        run(QStringLiteral("MQTT off"), calls, 0, nullptr, off, out);
        run(QStringLiteral("broker up"), calls, broker.port(), &subscriber, up, out);
        run(QStringLiteral("broker silent"), calls, silent.port, nullptr, quiet, out);
    }
    print(QStringLiteral("MQTT off"), off, out);
    print(QStringLiteral("broker up"), up, out);
    print(QStringLiteral("broker silent"), quiet, out);
    return 0;
}
