// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>
#include <functional>
#include <memory>

#include "call/seams.h"

class QSocketNotifier;

namespace ringwise {

// A listening port that accepts its connections itself and hands each one over as a bare
// descriptor. QTcpServer binds and listens, but its own accepting stays paused: it keeps
// the first error it ever met, so out of descriptors it either retried at once for as long
// as the shortage lasted or stopped for good. Here an accept that fails for want of
// descriptors or memory pauses accepting for kPauseMs, and each shortage is reported once:
// it lasts until every waiting connection has been accepted.
class Listener {
public:
    // Room for a crowd of clients reconnecting at once, so none waits for a SYN retry.
    static constexpr int kBacklog = 1024;
    static constexpr int kPauseMs = 1000;
    using Admit = std::function<void(int fd)>;

    Listener(Admit admit, SendText report);
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;
    ~Listener();

    // False when the address and port cannot be listened on.
    bool listen(const QHostAddress &address, quint16 port);
    void close();
    bool isListening() const { return m_server.isListening(); }
    quint16 serverPort() const { return m_server.serverPort(); }

private:
    void acceptWaiting();
    void pause(int error);

    Admit m_admit;
    SendText m_report;
    QTcpServer m_server;
    std::unique_ptr<QSocketNotifier> m_notifier;  // watches m_server's descriptor
    QTimer m_pause;
    bool m_shortageReported = false;  // cleared once nobody waits to be accepted
};

}  // namespace ringwise
