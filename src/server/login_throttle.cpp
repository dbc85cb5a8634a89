// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/login_throttle.h"

namespace ringwise {

namespace {

qint32 elapsed(qint32 since, qint32 now) {
    // Unsigned subtraction keeps the elapsed time right across the tick count's wrap.
    return static_cast<qint32>(static_cast<quint32>(now) - static_cast<quint32>(since));
}

}  // namespace

LoginThrottle::LoginThrottle(TickCount tickCount, int capacity)
    : m_tickCount(std::move(tickCount)), m_capacity(capacity) {}

bool LoginThrottle::admits(const QHostAddress &address) {
    const auto found = m_byNetwork.find(networkOf(address));
    if (found == m_byNetwork.end())
        return true;
    const qint32 now = m_tickCount();
    if (isStale(*found->second, now)) {
        forget(found->second);
        return true;
    }
    return !isBlocked(*found->second, now);
}

bool LoginThrottle::wrongPassword(const QHostAddress &address) {
    const qint32 now = m_tickCount();
    const QHostAddress network = networkOf(address);
    auto found = m_byNetwork.find(network);
    if (found == m_byNetwork.end()) {
        if (int(m_records.size()) >= m_capacity)
            forget(std::prev(m_records.end()));
        m_records.push_front(Record{network});
        found = m_byNetwork.emplace(network, m_records.begin()).first;
    } else {
        m_records.splice(m_records.begin(), m_records, found->second);
    }
    Record &record = *found->second;
    const bool wasBlocked = isBlocked(record, now);
    record.newest = (record.newest + 1) % kWrongPasswords;
    record.wrongAt[size_t(record.newest)] = now;
    record.wrongCount = std::min(record.wrongCount + 1, kWrongPasswords);
    return !wasBlocked && isBlocked(record, now);
}

void LoginThrottle::loggedIn(const QHostAddress &address) {
    if (const auto found = m_byNetwork.find(networkOf(address)); found != m_byNetwork.end())
        forget(found->second);
}

bool LoginThrottle::isBlocked(const Record &record, qint32 now) const {
    if (record.wrongCount < kWrongPasswords)
        return false;
    // With the ring full, the slot after the newest holds the oldest of the latest five.
    const qint32 newest = record.wrongAt[size_t(record.newest)];
    const qint32 oldest = record.wrongAt[size_t((record.newest + 1) % kWrongPasswords)];
    return elapsed(oldest, newest) <= kWindowMs && elapsed(newest, now) < kBlockMs;
}

bool LoginThrottle::isStale(const Record &record, qint32 now) const {
    // Nothing this old can count towards a block or still hold one.
    return elapsed(record.wrongAt[size_t(record.newest)], now) >= std::max(kWindowMs, kBlockMs);
}

void LoginThrottle::forget(Records::iterator record) {
    m_byNetwork.erase(record->network);
    m_records.erase(record);
}

}  // namespace ringwise
