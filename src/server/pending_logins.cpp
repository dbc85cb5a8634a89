// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/pending_logins.h"

#include <algorithm>

namespace ringwise {

void PendingLogins::add(int slot, qint32 acceptedAt) {
    const quint64 serial = m_nextSerial++;
    m_waiting[slot] = serial;
    m_entries.push_back(Entry{slot, acceptedAt, serial});
}

void PendingLogins::remove(int slot) {
    m_waiting.erase(slot);
    dropStaleFront();
}

QList<int> PendingLogins::takeDue(qint32 now) {
    QList<int> due;
    for (dropStaleFront(); !m_entries.empty() && remaining(m_entries.front(), now) <= 0;
         dropStaleFront()) {
        due.append(m_entries.front().slot);
        m_waiting.erase(m_entries.front().slot);
        m_entries.pop_front();
    }
    return due;
}

std::optional<qint32> PendingLogins::timeUntilNextDeadline(qint32 now) {
    dropStaleFront();
    if (m_entries.empty())
        return std::nullopt;
    return static_cast<qint32>(
        std::clamp<qint64>(remaining(m_entries.front(), now), 0, m_deadlineMs));
}

bool PendingLogins::isCurrent(const Entry &entry) const {
    const auto waiting = m_waiting.find(entry.slot);
    return waiting != m_waiting.end() && waiting->second == entry.serial;
}

void PendingLogins::dropStaleFront() {
    while (!m_entries.empty() && !isCurrent(m_entries.front()))
        m_entries.pop_front();
}

qint64 PendingLogins::remaining(const Entry &entry, qint32 now) const {
    // Unsigned subtraction keeps the elapsed time right across the tick count's wrap.
    const auto elapsed =
        static_cast<qint32>(static_cast<quint32>(now) - static_cast<quint32>(entry.acceptedAt));
    return qint64(m_deadlineMs) - elapsed;
}

}  // namespace ringwise
