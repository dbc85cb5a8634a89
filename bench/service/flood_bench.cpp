// SPDX-License-Identifier: GPL-3.0-or-later
// One address opens connections to the real headless server as fast as it can, each left
// open, against the per-address cap (64 by default): the server's resident memory and open
// descriptors before, during and after, and how many connections it greeted.
// Usage: flood_bench [CONNECTIONS]   (default 20000)

#include <sys/socket.h>
#include <unistd.h>

#include <netinet/in.h>
#include <QCoreApplication>
#include <QTcpSocket>
#include <QTextStream>
#include <vector>

#include "support/process_memory.h"
#include "support/server_process.h"

using namespace ringwise::test;
using namespace ringwise::bench;

namespace {

// A blocking connect from 127.0.0.1; the descriptor stays open so the server sees a crowd.
int connectTo(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int total = argc > 1 ? QString(argv[1]).toInt() : 20000;
    QTextStream out(stdout);
    ServerProcess server(QStringLiteral(RINGWISE_SERVER_BINARY));
    server.setSetting(QStringLiteral("ServerCOM"), QStringLiteral("/dev/ttyRingwiseMissing0"));
    server.start();
    if (!server.waitUntilListening()) {
        out << "the server did not start: " << server.standardError() << Qt::endl;
        return 1;
    }
    const qint64 pid = server.process().processId();
    out << "idle: " << residentMemory(pid).all << " KiB, " << openDescriptors(pid) << " descriptors"
        << Qt::endl;

    // The first 64 stay open and fill the cap; every later one is closed on this side right
    // after its connect, as a flood does, while the server refuses it.
    std::vector<int> held;
    int failed = 0;
    for (int i = 1; i <= total; ++i) {
        const int fd = connectTo(server.port());
        if (fd < 0)
            ++failed;
        else if (held.size() < 64)
            held.push_back(fd);
        else
            ::close(fd);
        if (i % 5000 == 0)
            out << i << " connections: " << residentMemory(pid).all << " KiB, "
                << openDescriptors(pid) << " descriptors" << Qt::endl;
    }
    // Let the server catch up with the backlog before the last reading.
    QTcpSocket probe;
    probe.bind(QHostAddress(QStringLiteral("127.0.0.2")));
    probe.connectToHost(QHostAddress::LocalHost, server.port());
    probe.waitForReadyRead(10000);
    out << "after: " << residentMemory(pid).all << " KiB, " << openDescriptors(pid)
        << " descriptors; " << failed << " connects failed; a client from another address greeted: "
        << (probe.readAll().startsWith("Welcome") ? "yes" : "no") << Qt::endl;
    for (const int fd : held)
        ::close(fd);
    server.process().waitForReadyRead(1000);
    const QByteArray output = server.standardOutput();
    out << "refusal lines in the device output: " << output.count("refused: no more") << Qt::endl;
    return 0;
}
