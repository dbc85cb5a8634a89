// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/loopback_clients.h"

#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>

#include "support/greeting.h"

namespace ringwise::bench {

namespace {

// Connections opened at once: few enough for any listen backlog, so none waits for a SYN
// retry.
constexpr int kGroup = 25;
// Readiness reports taken from the epoll set at once.
constexpr int kEvents = 1024;

}  // namespace

LoopbackClients::LoopbackClients(quint16 port)
    : m_port(port), m_epoll(::epoll_create1(EPOLL_CLOEXEC)) {}

LoopbackClients::~LoopbackClients() {
    resetAll();
    ::close(m_epoll);
}

void LoopbackClients::raiseDescriptorLimit() {
    rlimit limit = {};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

bool LoopbackClients::connect(int count) {
    for (int done = 0; done < count; done += kGroup) {
        if (!connectGroup(std::min(kGroup, count - done)))
            return false;
    }
    return true;
}

bool LoopbackClients::connectGroup(int count) {
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
    return waitUntilAllFrom(first, int(test::kGreeting.size()));
}

bool LoopbackClients::waitUntilAllFrom(int first, int size, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    int missing = 0;
    for (int i = first; i < this->size(); ++i)
        missing += m_received[i].size() < size;
    while (missing > 0) {
        // A server blocked on a full output pipe sends nothing: the event loop drains the pipe.
        // Only then, so the benchmark does no work of its own while the clients receive.
        if (read(10, first, size, missing) == 0)
            QCoreApplication::processEvents();
        if (timer.elapsed() > timeoutMs)
            return false;
    }
    return true;
}

bool LoopbackClients::send(int client, const QByteArray &bytes) {
    return ::send(m_fds[client], bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) ==
           bytes.size();
}

void LoopbackClients::clearReceived() {
    int none = 0;
    while (read(0, 0, 0, none) == kEvents) {
    }
    for (QByteArray &bytes : m_received)
        bytes.clear();
}

int LoopbackClients::read(int timeoutMs, int first, int size, int &missing) {
    epoll_event events[kEvents];
    char buffer[4096];
    const int ready = std::max(::epoll_wait(m_epoll, events, kEvents, timeoutMs), 0);
    for (int e = 0; e < ready; ++e) {
        const int i = int(events[e].data.u32);
        const bool wasMissing = i >= first && m_received[i].size() < size;
        // A short read took all there was: one call per client, the epoll set reports the rest.
        ssize_t n;
        do {
            n = ::recv(m_fds[i], buffer, sizeof buffer, 0);
            if (n > 0)
                m_received[i].append(buffer, n);
        } while (n == ssize_t(sizeof buffer));
        missing -= wasMissing && m_received[i].size() >= size;
    }
    return ready;
}

void LoopbackClients::resetAll() {
    for (int fd : m_fds) {
        const linger reset = {1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
    }
    m_fds.clear();
    m_received.clear();
}

}  // namespace ringwise::bench
