// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/client_protocol.h"

#include "server/client_message.h"
#include "server/client_table.h"
#include "server/login_throttle.h"
#include "server/peer_address.h"

namespace ringwise {

namespace {

const QString kPasswordAccepted = QStringLiteral("Password accepted.");
const QString kInvalidPassword = QStringLiteral("Invalid password.");
const QString kPasswordNotReceived = QStringLiteral("Password not received. Disconnecting.");
const QString kPingPrefix = QStringLiteral("PING_:");

}  // namespace

ClientProtocol::ClientProtocol(ClientTable &table, LoginThrottle &throttle,
                               ClientProtocolSeams seams, int loginDeadlineMs, int pingIntervalMs,
                               QObject *parent)
    : QObject(parent),
      m_table(table),
      m_throttle(throttle),
      m_seams(std::move(seams)),
      m_pendingLogins(loginDeadlineMs),
      m_pingSchedule(m_seams.defaultPingInterval) {
    connect(&m_table, &ClientTable::dataArrived, this, &ClientProtocol::HandleClientText);
    m_loginTimer.setSingleShot(true);
    connect(&m_loginTimer, &QTimer::timeout, this, &ClientProtocol::LoginDeadlineTick);
    m_pingTimer.setInterval(pingIntervalMs);
    connect(&m_pingTimer, &QTimer::timeout, this, &ClientProtocol::PingTick);
}

void ClientProtocol::clientAccepted(int slot) {
    m_pendingLogins.add(slot, m_seams.tickCount());
    armLoginTimer();
}

void ClientProtocol::startPingTimer() {
    m_pingTimer.start();
}

void ClientProtocol::HandleClientText(int slot) {
    const QByteArray bytes = m_table.read(slot);
    const QString password = m_seams.password();
    const ClientMessage kind = classifyClientMessage(bytes, password);
    switch (kind) {
        case ClientMessage::Nothing:
        case ClientMessage::Pong:
            return;
        case ClientMessage::Password:
            m_table.sendTo(slot, kPasswordAccepted);
            m_table.markLoggedIn(slot);
            m_pendingLogins.remove(slot);
            m_throttle.loggedIn(m_table.peerAddress(slot));
            return;
        case ClientMessage::Stats:
        case ClientMessage::Contact:
        case ClientMessage::Block:
            if (password.isEmpty() || m_table.isLoggedIn(slot)) {
                const auto &handler = kind == ClientMessage::Stats     ? m_seams.statsRequest
                                      : kind == ClientMessage::Contact ? m_seams.contactRequest
                                                                       : m_seams.blockRequest;
                if (!handler)
                    return;
                if (const std::optional<QString> answer = handler(QString::fromLatin1(bytes)))
                    m_table.sendTo(slot, *answer);
                emit requestHandled();
                return;
            }
            break;
        case ClientMessage::TooLong:
        case ClientMessage::Other:
            break;
    }
    refuse(slot, password);
}

void ClientProtocol::LoginDeadlineTick() {
    const QList<int> due = m_pendingLogins.takeDue(m_seams.tickCount());
    // Without a password nobody has to log in; the record is just cleared.
    if (!due.isEmpty() && !m_seams.password().isEmpty()) {
        for (const int slot : due) {
            m_table.sendTo(slot, kPasswordNotReceived);
            m_table.disconnectAfterSending(slot);
        }
    }
    armLoginTimer();
}

void ClientProtocol::PingTick() {
    const double interval = m_pingSchedule.interval(m_seams.pingSetting());
    if (m_pingSchedule.tick(interval))
        m_table.SendToClients(kPingPrefix + QString::number(m_seams.tickCount()));
    const QString nextPing = m_pingSchedule.nextPingText(interval);
    if (nextPing == m_nextPing)
        return;
    m_nextPing = nextPing;
    emit nextPingChanged(m_nextPing);
}

void ClientProtocol::refuse(int slot, const QString &password) {
    const QHostAddress address = m_table.peerAddress(slot);
    // A client that has not logged in and sends anything but the password guessed wrong.
    const bool blocks =
        !password.isEmpty() && !m_table.isLoggedIn(slot) && m_throttle.wrongPassword(address);
    m_pendingLogins.remove(slot);
    m_table.sendTo(slot, kInvalidPassword);
    m_table.disconnectAfterSending(slot);
    if (!blocks)
        return;
    // Each connection opened before the block could guess once more.
    const QHostAddress network = networkOf(address);
    m_table.closeWaitingFrom(network);
    m_table.report(QStringLiteral("Client address %1 refused for %2 s after %3 wrong passwords.")
                       .arg(networkText(network))
                       .arg(LoginThrottle::kBlockMs / 1000)
                       .arg(LoginThrottle::kWrongPasswords));
}

void ClientProtocol::armLoginTimer() {
    if (const std::optional<qint32> left =
            m_pendingLogins.timeUntilNextDeadline(m_seams.tickCount()))
        m_loginTimer.start(*left);
    else
        m_loginTimer.stop();
}

}  // namespace ringwise
