// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include "call/seams.h"

namespace ringwise {

// The logged-in browsers: each session has a random 128-bit id (the cookie) and a token
// of its own that every changing request must carry. A session ends after kIdleDays
// without a request, at logout, and all of them end when the password changes.
class SessionStore {
public:
    static constexpr int kIdleDays = 30;
    // More logins than this forget the session used longest ago.
    static constexpr qsizetype kCapacity = 1024;

    struct Session {
        QByteArray id;     // 32 hex digits
        QByteArray token;  // 32 hex digits
        QDateTime lastUsed;
    };

    explicit SessionStore(Clock now);

    // Ends every session when the password is not the one they were made under.
    void keepFor(const QString &password);
    Session create();
    // The live session of the id, its idle time restarted; nullptr when none.
    const Session *find(const QByteArray &id);
    void end(const QByteArray &id);
    bool isLive(const QByteArray &id) const;

private:
    bool expired(const Session &session, const QDateTime &now) const;

    Clock m_now;
    QString m_password;
    QHash<QByteArray, Session> m_sessions;
};

// 128 random bits from the system's generator, as 32 hex digits.
QByteArray randomHexId();

}  // namespace ringwise
