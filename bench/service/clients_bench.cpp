// The real headless server under many clients. The clients are plain non-blocking sockets
// on one epoll set, so the benchmark's own cost per client stays small beside the server's.
//   1. connects 10,000 clients in batches of 500: the time of each batch, ratio last/first;
//   2. the server's resident memory idle, per idle client, and after they all leave;
//   3. the time from all of them leaving (reset at once) to the next client's greeting;
//   4. fan-out: with 10, 100, 1,000 and 10,000 clients, the time from the "#" written to the
//      pseudo-terminal until the last client holds the whole "CALL_:," line, per client.
// Usage: clients_bench [TOTAL [SERVER_BINARY]]   (default 10000, the server built with it)

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <algorithm>
#include <vector>

#include "support/greeting.h"
#include "support/process_memory.h"
#include "support/pseudo_terminal.h"
#include "support/server_process.h"

using namespace ringwise::test;
using namespace ringwise::bench;

namespace {

constexpr int kBatch = 500;
constexpr int kGroup = 25;
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

// Loopback clients read on one epoll set; each keeps what it has received.
class Clients {
public:
    explicit Clients(quint16 port) : m_port(port), m_epoll(::epoll_create1(EPOLL_CLOEXEC)) {}
    ~Clients() {
        resetAll();
        ::close(m_epoll);
    }

    int size() const { return int(m_fds.size()); }

    // Opens `count` connections and waits until each has its greeting. They go in groups
    // small enough for any listen backlog, so no connection waits for a SYN retry.
    bool connect(int count) {
        for (int done = 0; done < count; done += kGroup) {
            if (!connectGroup(std::min(kGroup, count - done)))
                return false;
        }
        return true;
    }

    bool connectGroup(int count) {
        const int first = size();
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_port = htons(m_port);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
            epoll_event event = {};
            event.events = EPOLLIN;
            event.data.u32 = uint32_t(m_fds.size());
            ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
            m_fds.push_back(fd);
            m_received.emplace_back();
        }
        return waitUntilAllFrom(first, kGreeting.size());
    }

    void clearReceived() {
        for (QByteArray &bytes : m_received)
            bytes.clear();
    }

    // Waits until every client from `first` on holds at least `size` bytes.
    bool waitUntilAllFrom(int first, int size, int timeoutMs = 60000) {
        QElapsedTimer timer;
        timer.start();
        int missing = 0;
        for (int i = first; i < this->size(); ++i)
            missing += m_received[i].size() < size;
        std::vector<epoll_event> events(1024);
        char buffer[4096];
        while (missing > 0) {
            // The server's output pipe is drained by the event loop; a full pipe would stop it.
            QCoreApplication::processEvents();
            const int ready = ::epoll_wait(m_epoll, events.data(), int(events.size()), 10);
            for (int e = 0; e < ready; ++e) {
                const int i = int(events[e].data.u32);
                const bool wasMissing = i >= first && m_received[i].size() < size;
                for (ssize_t n; (n = ::recv(m_fds[i], buffer, sizeof buffer, 0)) > 0;)
                    m_received[i].append(buffer, n);
                if (wasMissing && m_received[i].size() >= size)
                    --missing;
            }
            if (timer.elapsed() > timeoutMs)
                return false;
        }
        return true;
    }

    // Every client leaves at once with a reset, so no port is held in TIME_WAIT.
    void resetAll() {
        for (int fd : m_fds) {
            const linger reset = {1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            ::close(fd);
        }
        m_fds.clear();
        m_received.clear();
    }

private:
    quint16 m_port;
    int m_epoll;
    std::vector<int> m_fds;
    std::vector<QByteArray> m_received;
};

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
    Clients clients(server.port);
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
    Clients next(server.port);
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
    Clients clients(server.port);
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
    // Each client is a descriptor here and one in the server, which inherits this limit.
    rlimit limit = {};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

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
