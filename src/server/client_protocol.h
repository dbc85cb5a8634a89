// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "call/seams.h"
#include "server/pending_logins.h"
#include "server/ping_schedule.h"

namespace ringwise {

class ClientTable;
class LoginThrottle;

// What the protocol needs from the rest of the service. Settings are read at each use,
// so a change made in the settings dialog acts at once.
struct ClientProtocolSeams {
    ReadText password;             // ServerPassword
    ReadText pingSetting;          // ServerPing
    AnswerRequest statsRequest;    // a whole "STATS:" message
    AnswerRequest contactRequest;  // a whole "CNTAC:" message
    TickCount tickCount;           // milliseconds since boot, signed 32-bit
    double defaultPingInterval;    // seconds, for a ServerPing text that is not a number
    AnswerRequest blockRequest{};  // a whole "BLOCK:" message
};

// The client side of the conversation: login with a deadline per client, request
// dispatch, and the keep-alive ping. With a password set, only clients that sent it
// receive broadcasts and may send requests. An answer goes to the client that asked alone:
// it may hold the contact book.
class ClientProtocol : public QObject {
    Q_OBJECT
public:
    static constexpr int kLoginDeadlineMs = 5000;
    static constexpr int kPingIntervalMs = 1000;

    // The throttle hears of every wrong password and every correct login.
    ClientProtocol(ClientTable &table, LoginThrottle &throttle, ClientProtocolSeams seams,
                   int loginDeadlineMs = kLoginDeadlineMs, int pingIntervalMs = kPingIntervalMs,
                   QObject *parent = nullptr);

    // A client was just accepted into the slot: its deadline starts now.
    void clientAccepted(int slot);
    // Starts the once-a-second keep-alive timer, which runs from then on.
    void startPingTimer();
    QString nextPing() const { return m_nextPing; }
    const PendingLogins &pendingLogins() const { return m_pendingLogins; }

    void HandleClientText(int slot);
    void LoginDeadlineTick();
    void PingTick();

signals:
    void nextPingChanged(const QString &text);
    // A request was handled; what it read may be freed.
    void requestHandled();

private:
    void refuse(int slot, const QString &password);
    void armLoginTimer();

    ClientTable &m_table;
    LoginThrottle &m_throttle;
    ClientProtocolSeams m_seams;
    PendingLogins m_pendingLogins;
    PingSchedule m_pingSchedule;
    QTimer m_loginTimer;
    QTimer m_pingTimer;
    QString m_nextPing = QStringLiteral("0");
};

}  // namespace ringwise
