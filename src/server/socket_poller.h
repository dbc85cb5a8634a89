// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

class QSocketNotifier;

namespace ringwise {

// Many descriptors watched through one epoll set, which the event loop sees as a single
// descriptor: the loop's own poll then costs the same with one client as with ten
// thousand. Readiness is level-triggered and reported per descriptor.
class SocketPoller : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(int fd, std::uint32_t events)>;

    explicit SocketPoller(Handler handler, QObject *parent = nullptr);
    ~SocketPoller() override;

    // events: EPOLLIN, EPOLLOUT, ... as epoll_ctl takes them.
    void watch(int fd, std::uint32_t events);
    void change(int fd, std::uint32_t events);
    void forget(int fd);

private:
    void dispatch();

    Handler m_handler;
    int m_epoll;
    QSocketNotifier *m_notifier;
};

}  // namespace ringwise
