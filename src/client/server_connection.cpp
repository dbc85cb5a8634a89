#include "client/server_connection.h"

namespace ringwise {

namespace {

const QString kGreetingStart = QStringLiteral("Welcome to Ringwise Server [");
const QString kAccepted = QStringLiteral("Password accepted.");
const QString kInvalid = QStringLiteral("Invalid password.");
const QString kNotReceived = QStringLiteral("Password not received. Disconnecting.");
const QString kCallStart = QStringLiteral("CALL_:");
// "CALL_:," and the commas between seven fields.
constexpr int kCallLineCommas = 7;

}  // namespace

ServerConnection::ServerConnection(QString host, quint16 port, QString password,
                                   std::optional<QSslConfiguration> tls, QObject *parent)
    : QObject(parent),
      m_host(std::move(host)),
      m_port(port),
      m_password(std::move(password)),
      m_tls(std::move(tls)) {
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(0);
    connect(&m_quiet, &QTimer::timeout, this, &ServerConnection::takeQuietMessage);
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
        m_state = State::Closed;
        m_quiet.stop();
        const QString reason = m_tlsError.isEmpty() ? m_socket.errorString() : m_tlsError;
        m_socket.abort();
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
    m_socket.abort();
}

void ServerConnection::send(const QString &text) {
    m_socket.write(text.toLatin1());
}

void ServerConnection::readMessages() {
    const QStringList messages = m_framer.feed(m_socket.readAll());
    for (const QString &text : messages) {
        if (m_state == State::Closed)
            return;
        handle(text);
    }
    if (m_state == State::Closed)
        return;
    if (m_quiet.interval() > 0 && !m_framer.pending().isEmpty())
        m_quiet.start();
    emit bytesArrived();
}

void ServerConnection::handle(const QString &text) {
    if (text == kInvalid || text == kNotReceived) {
        refuse(m_password.isEmpty()
                   ? QStringLiteral("the server wants a password: set RINGWISE_PASSWORD or "
                                    "use --password-file")
                   : QStringLiteral("the server refused the password"));
        return;
    }
    switch (m_state) {
        case State::Greeting:
            if (!text.startsWith(kGreetingStart)) {
                refuse(QStringLiteral("not a Ringwise server: ") + text.left(80));
                return;
            }
            if (m_password.isEmpty()) {
                m_state = State::LoggedIn;
                emit loggedIn();
            } else {
                m_state = State::LoggingIn;
                send(m_password);
            }
            return;
        case State::LoggingIn:
            // Broadcasts may pass the answer to the password; they are not for us yet.
            if (text == kAccepted) {
                m_state = State::LoggedIn;
                emit loggedIn();
            }
            return;
        case State::LoggedIn:
            emit message(text);
            return;
        case State::Closed:
            return;
    }
}

void ServerConnection::takeQuietMessage() {
    const QString &pending = m_framer.pending();
    // A call line cut short would lose the call: wait for the rest.
    if (pending.startsWith(kCallStart) && pending.count(QLatin1Char(',')) < kCallLineCommas)
        return;
    handle(m_framer.takePending());
}

void ServerConnection::refuse(const QString &reason) {
    m_state = State::Closed;
    m_quiet.stop();
    m_socket.abort();
    emit refused(reason);
}

}  // namespace ringwise
