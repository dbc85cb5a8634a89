// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/session_store.h"

#include <QRandomGenerator>
#include <algorithm>

namespace ringwise {

QByteArray randomHexId() {
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
}

SessionStore::SessionStore(Clock now) : m_now(std::move(now)) {}

void SessionStore::keepFor(const QString &password) {
    if (password == m_password)
        return;
    m_password = password;
    m_sessions.clear();
}

SessionStore::Session SessionStore::create() {
    if (m_sessions.size() >= kCapacity) {
        const auto oldest = std::min_element(m_sessions.cbegin(), m_sessions.cend(),
                                             [](const Session &left, const Session &right) {
                                                 return left.lastUsed < right.lastUsed;
                                             });
        m_sessions.remove(oldest.key());
    }
    Session session{randomHexId(), randomHexId(), m_now()};
    m_sessions[session.id] = session;
    return session;
}

const SessionStore::Session *SessionStore::find(const QByteArray &id) {
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end())
        return nullptr;
    const QDateTime now = m_now();
    if (expired(*found, now)) {
        m_sessions.erase(found);
        return nullptr;
    }
    found->lastUsed = now;
    return &*found;
}

void SessionStore::end(const QByteArray &id) {
    m_sessions.remove(id);
}

bool SessionStore::isLive(const QByteArray &id) const {
    const auto found = m_sessions.constFind(id);
    return found != m_sessions.cend() && !expired(*found, m_now());
}

bool SessionStore::expired(const Session &session, const QDateTime &now) const {
    return session.lastUsed.addDays(kIdleDays) <= now;
}

}  // namespace ringwise
