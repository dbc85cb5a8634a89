// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/socket_poller.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>

namespace ringwise {

namespace {

// Enough for a burst; more ready descriptors are reported at the next pass of the loop.
constexpr int kEventsPerPass = 256;

}  // namespace

SocketPoller::SocketPoller(Handler handler, QObject *parent)
    : QObject(parent),
      m_handler(std::move(handler)),
      m_epoll(::epoll_create1(EPOLL_CLOEXEC)),
      m_notifier(new QSocketNotifier(m_epoll, QSocketNotifier::Read, this)) {
    connect(m_notifier, &QSocketNotifier::activated, this, &SocketPoller::dispatch);
}

SocketPoller::~SocketPoller() {
    ::close(m_epoll);
}

void SocketPoller::watch(int fd, std::uint32_t events) {
    epoll_event event = {};
    event.events = events;
    event.data.fd = fd;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
}

void SocketPoller::change(int fd, std::uint32_t events) {
    epoll_event event = {};
    event.events = events;
    event.data.fd = fd;
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event);
}

void SocketPoller::forget(int fd) {
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
}

void SocketPoller::dispatch() {
    std::array<epoll_event, kEventsPerPass> events;
    const int ready = ::epoll_wait(m_epoll, events.data(), int(events.size()), 0);
    for (int i = 0; i < ready; ++i)
        m_handler(events[i].data.fd, events[i].events);
}

}  // namespace ringwise
