// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/server_connection.h"

#include "call/safe_text.h"
#include "client/server_texts.h"

namespace ringwise {

ServerConnection::ServerConnection(QString host, quint16 port, QString password,
                                   std::optional<QSslConfiguration> tls, int loginTimeoutMs,
                                   QObject *parent)
    : QObject(parent),
      m_host(std::move(host)),
      m_port(port),
      m_password(std::move(password)),
      m_tls(std::move(tls)) {
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(0);
    connect(&m_quiet, &QTimer::timeout, this, [this] { takeMessages(true); });
    m_loginTimeout.setSingleShot(true);
    m_loginTimeout.setInterval(loginTimeoutMs);
    connect(&m_loginTimeout, &QTimer::timeout, this, [this] {
        const QString seconds = QString::number(m_loginTimeout.interval() / 1000.0);
        QString reason = QStringLiteral("no answer to the password within %1 s").arg(seconds);
        if (m_socket.state() != QAbstractSocket::ConnectedState)
            reason = QStringLiteral("no connection within %1 s").arg(seconds);
        else if (m_state == State::Greeting)
            reason = QStringLiteral("no greeting within %1 s").arg(seconds);
        abort();
        emit lost(reason);
    });
    connect(&m_socket, &QSslSocket::readyRead, this, &ServerConnection::readMessages);
    connect(&m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) {
        QStringList reasons;
        for (const QSslError &error : errors)
            reasons << error.errorString();
        m_tlsError = QStringLiteral("the server's certificate is not trusted: ") +
                     reasons.join(QStringLiteral("; ")) +
                     QStringLiteral(" (a certificate authority of your own goes in --ca FILE)");
    });
    connect(&m_socket, &QSslSocket::errorOccurred, this, [this] {
        if (m_socket.bytesAvailable() > 0)
            readMessages();
        if (m_state == State::Closed)
            return;
        const QString reason = m_tlsError.isEmpty() ? m_socket.errorString() : m_tlsError;
        abort();
        emit lost(reason);
    });
}

QString ServerConnection::address() const {
    return m_host + QLatin1Char(':') + QString::number(m_port);
}

void ServerConnection::open() {
    m_socket.abort();
    m_framer = StreamFramer();
    m_state = State::Greeting;
    m_tlsError.clear();
    m_loginTimeout.start();
    if (!m_tls) {
        m_socket.connectToHost(m_host, m_port);
        return;
    }
    m_socket.setSslConfiguration(*m_tls);
    m_socket.connectToHostEncrypted(m_host, m_port);
}

void ServerConnection::abort() {
    m_state = State::Closed;
    m_quiet.stop();
    m_loginTimeout.stop();
    m_socket.abort();
}

void ServerConnection::send(const QString &text) {
    m_framer.allowReplies();
    m_socket.write(text.toLatin1());
}

void ServerConnection::readMessages() {
    m_framer.feed(m_socket.readAll());
    takeMessages(false);
    if (m_state == State::Closed)
        return;
    if (m_quiet.interval() > 0 && !m_framer.pending().isEmpty())
        m_quiet.start();
    emit bytesArrived();
}

void ServerConnection::takeMessages(bool quiet) {
    while (m_state != State::Closed) {
        const std::optional<QString> text = m_framer.next(quiet);
        if (!text)
            return;
        handle(*text);
    }
}

void ServerConnection::logIn() {
    m_state = State::LoggedIn;
    m_loginTimeout.stop();
    emit loggedIn();
}

void ServerConnection::handle(const QString &text) {
    // The framer hands these out only where the server can send them.
    if (text == kInvalidPassword || text == kPasswordNotReceived) {
        abort();
        emit refused(m_password.isEmpty()
                         ? QStringLiteral("the server wants a password: set RINGWISE_PASSWORD or "
                                          "use --password-file")
                         : QStringLiteral("the server refused the password"));
        return;
    }
    switch (m_state) {
        case State::Greeting:
            if (!text.startsWith(kGreetingStart)) {
                abort();
                emit lost(QStringLiteral("not a Ringwise server: ") + printable(text.left(80)));
                return;
            }
            if (m_password.isEmpty()) {
                logIn();
            } else {
                m_state = State::LoggingIn;
                m_socket.write(m_password.toLatin1());
            }
            return;
        case State::LoggingIn:
            // Broadcasts may pass the answer to the password; they are not for us yet.
            if (text == kPasswordAccepted)
                logIn();
            return;
        case State::LoggedIn:
            emit message(text);
            return;
        case State::Closed:
            return;
    }
}

}  // namespace ringwise
