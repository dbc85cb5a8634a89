// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QString>
#include <QTimer>
#include <optional>

#include "client/stream_framer.h"

namespace ringwise {

// One connection to the server: reads the greeting, logs in, then hands out every message.
class ServerConnection : public QObject {
    Q_OBJECT
public:
    // An empty password sends none: the server may not want one. With `tls` the connection
    // is encrypted and the server's certificate must be valid for `host`. A server that has
    // not greeted and accepted the login within `loginTimeoutMs` of open() is given up on.
    ServerConnection(QString host, quint16 port, QString password,
                     std::optional<QSslConfiguration> tls, int loginTimeoutMs,
                     QObject *parent = nullptr);

    QString address() const;
    // Connects (again), with a fresh framer.
    void open();
    void abort();
    // Sends a request as one message, Latin-1; its replies may come from then on.
    void send(const QString &text);
    // A message with exactly this text ends as soon as it is in (see StreamFramer).
    void expect(const QString &text) { m_framer.expect(text); }
    const QString &pending() const { return m_framer.pending(); }
    // After this long without bytes the message still arriving is taken as whole: a call
    // line ends only where the next message begins, which may be a ping minutes later.
    // 0 (the default) waits for the next message.
    void setQuietEnd(int milliseconds) { m_quiet.setInterval(milliseconds); }

signals:
    void loggedIn();
    void message(const QString &text);
    // Bytes have arrived, after any message they completed.
    void bytesArrived();
    // The server refused the login: wrong or missing password. No use trying again.
    void refused(const QString &reason);
    // The connection failed, ended, or led to no login in time.
    void lost(const QString &reason);

private:
    void readMessages();
    void takeMessages(bool quiet);
    void handle(const QString &text);
    void logIn();

    QString m_host;
    quint16 m_port;
    QString m_password;
    std::optional<QSslConfiguration> m_tls;
    QSslSocket m_socket;
    // Why the handshake failed: clearer than the socket's own error.
    QString m_tlsError;
    StreamFramer m_framer;
    QTimer m_quiet;
    QTimer m_loginTimeout;
    enum class State { Closed, Greeting, LoggingIn, LoggedIn } m_state = State::Closed;
};

}  // namespace ringwise
