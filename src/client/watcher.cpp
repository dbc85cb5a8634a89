// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/watcher.h"

#include "client/exit_status.h"

namespace ringwise {

namespace {

constexpr int kFirstPauseMs = 1000;
constexpr int kLongestPauseMs = 30000;
constexpr int kSilentPings = 3;
// Long enough for a call line sent in pieces, short beside anyone's patience.
constexpr int kQuietEndMs = 200;

}  // namespace

Watcher::Watcher(ServerConnection &connection, CallHandler onCall, Clock clock, int pingSeconds,
                 QTextStream &err, QObject *parent)
    : QObject(parent),
      m_connection(connection),
      m_onCall(std::move(onCall)),
      m_clock(std::move(clock)),
      m_err(err),
      m_pauseMs(kFirstPauseMs) {
    m_connection.setQuietEnd(kQuietEndMs);
    m_silence.setSingleShot(true);
    m_silence.setInterval(kSilentPings * pingSeconds * 1000);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        m_connection.abort();
        onLost(QStringLiteral("silent for three ping intervals"));
    });
    m_reconnect.setSingleShot(true);
    connect(&m_reconnect, &QTimer::timeout, &m_connection, &ServerConnection::open);

    connect(&connection, &ServerConnection::loggedIn, this, [this] {
        // Said once per connection and loss, so a reader (or a test) knows calls can come.
        if (!m_everLoggedIn)
            m_err << "ringwise-client: watching " << m_connection.address() << Qt::endl;
        else if (m_lostReported)
            m_err << "ringwise-client: connected to " << m_connection.address() << " again"
                  << Qt::endl;
        m_everLoggedIn = true;
        m_lostReported = false;
        m_pauseMs = kFirstPauseMs;
        m_silence.start();
    });
    connect(&connection, &ServerConnection::bytesArrived, this, [this] {
        if (m_everLoggedIn && !m_lostReported)
            m_silence.start();
    });
    connect(&connection, &ServerConnection::message, this, [this](const QString &text) {
        if (const std::optional<ClientCall> call = parseCallLine(text, m_clock()))
            m_onCall(*call);
    });
    connect(&connection, &ServerConnection::refused, this, [this](const QString &reason) {
        m_silence.stop();
        m_err << "ringwise-client: " << reason << Qt::endl;
        emit finished(kExitRefused);
    });
    connect(&connection, &ServerConnection::lost, this, &Watcher::onLost);
}

void Watcher::start() {
    m_connection.open();
}

void Watcher::onLost(const QString &reason) {
    m_silence.stop();
    if (!m_everLoggedIn) {
        m_err << "ringwise-client: cannot reach " << m_connection.address() << ": " << reason
              << Qt::endl;
        emit finished(kExitUnreachable);
        return;
    }
    if (!m_lostReported) {
        m_err << "ringwise-client: lost the connection to " << m_connection.address() << " ("
              << reason << "); reconnecting" << Qt::endl;
        m_lostReported = true;
        m_reconnect.start(kFirstPauseMs);
        return;
    }
    m_pauseMs = std::min(m_pauseMs * 2, kLongestPauseMs);
    m_reconnect.start(m_pauseMs);
}

}  // namespace ringwise
