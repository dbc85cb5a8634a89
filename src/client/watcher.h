// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTextStream>
#include <QTimer>
#include <functional>

#include "call/seams.h"
#include "client/call_message.h"
#include "client/server_connection.h"

namespace ringwise {

// Hands every call line to `onCall` for as long as the program runs. A connection that
// ends, or stays silent for three ping intervals, is opened again after a pause that
// starts at 1 s and doubles up to 30 s; only the first connection must succeed. A server that
// does not greet in time counts as a lost connection; a refused login ends watching.
class Watcher : public QObject {
    Q_OBJECT
public:
    using CallHandler = std::function<void(const ClientCall &call)>;

    Watcher(ServerConnection &connection, CallHandler onCall, Clock clock, int pingSeconds,
            QTextStream &err, QObject *parent = nullptr);
    void start();

signals:
    // Only when watching cannot go on: the first connection failed or the login was refused.
    void finished(int status);

private:
    void onLost(const QString &reason);

    ServerConnection &m_connection;
    CallHandler m_onCall;
    Clock m_clock;
    QTextStream &m_err;
    QTimer m_silence;
    QTimer m_reconnect;
    int m_pauseMs;
    bool m_everLoggedIn = false;
    bool m_lostReported = false;
};

}  // namespace ringwise
