// SPDX-License-Identifier: GPL-3.0-or-later
// The floor under the server's call path: all a program must do to announce a call is read
// the device and write every client. This relay reads the pseudo-terminal and, for each "#",
// sends one fixed line to every client with one send() each; nothing else (no parsing, no
// database, no library beside libc).
// Usage: notify_relay PTY GREETING LINE   (prints the loopback port it listens on)

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

int g_epoll = -1;
std::vector<int> g_clients;

void watch(int fd) {
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(g_epoll, EPOLL_CTL_ADD, fd, &event);
}

int listenOnLoopback() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), size) != 0 || listen(fd, SOMAXCONN) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return -1;
    std::printf("%d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    return fd;
}

void acceptClients(int listener, const char *greeting) {
    for (int fd; (fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
        // As the server does: every message goes out whole in one send, at once.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        send(fd, greeting, std::strlen(greeting), MSG_NOSIGNAL);
        watch(fd);
        g_clients.push_back(fd);
    }
}

// Clients send nothing that matters; one that leaves is closed.
void readClient(int fd) {
    char buffer[512];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        close(fd);
        g_clients.erase(std::find(g_clients.begin(), g_clients.end(), fd));
    }
}

// False when the device is gone (the benchmark closed the master side).
bool readDevice(int pty, const char *line) {
    char buffer[256];
    const ssize_t n = read(pty, buffer, sizeof buffer);
    if (n <= 0)
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    const size_t size = std::strlen(line);
    for (ssize_t i = 0; i < n; ++i) {
        if (buffer[i] != '#')
            continue;
        for (const int fd : g_clients)
            send(fd, line, size, MSG_NOSIGNAL);
    }
    return true;
}

}  // namespace

int main(int argc, char *argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: notify_relay PTY GREETING LINE\n");
        return 2;
    }
    const int pty = open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios raw = {};
    if (pty < 0 || tcgetattr(pty, &raw) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    cfmakeraw(&raw);
    tcsetattr(pty, TCSANOW, &raw);
    const int listener = listenOnLoopback();
    if (listener < 0) {
        std::perror("listen");
        return 1;
    }
    g_epoll = epoll_create1(EPOLL_CLOEXEC);
    watch(pty);
    watch(listener);
    epoll_event events[256];
    for (;;) {
        const int ready = epoll_wait(g_epoll, events, 256, -1);
        for (int e = 0; e < ready; ++e) {
            const int fd = events[e].data.fd;
            if (fd == listener)
                acceptClients(listener, argv[2]);
            else if (fd != pty)
                readClient(fd);
            else if (!readDevice(pty, argv[3]))
                return 0;
        }
    }
}
