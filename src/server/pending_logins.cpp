#include "server/pending_logins.h"

#include <algorithm>

namespace ringwise {

void PendingLogins::add(int slot, qint32 acceptedAt) {
    remove(slot);
    m_entries.append(Entry{slot, acceptedAt});
}

void PendingLogins::remove(int slot) {
    m_entries.removeIf([slot](const Entry &entry) { return entry.slot == slot; });
}

bool PendingLogins::contains(int slot) const {
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
                       [slot](const Entry &entry) { return entry.slot == slot; });
}

QList<int> PendingLogins::takeDue(qint32 now) {
    QList<int> due;
    m_entries.removeIf([&](const Entry &entry) {
        if (remaining(entry, now) > 0)
            return false;
        due.append(entry.slot);
        return true;
    });
    return due;
}

std::optional<qint32> PendingLogins::timeUntilNextDeadline(qint32 now) const {
    std::optional<qint32> earliest;
    for (const Entry &entry : m_entries) {
        const auto left =
            static_cast<qint32>(std::clamp<qint64>(remaining(entry, now), 0, m_deadlineMs));
        if (!earliest || left < *earliest)
            earliest = left;
    }
    return earliest;
}

qint64 PendingLogins::remaining(const Entry &entry, qint32 now) const {
    // Unsigned subtraction keeps the elapsed time right across the tick count's wrap.
    const auto elapsed =
        static_cast<qint32>(static_cast<quint32>(now) - static_cast<quint32>(entry.acceptedAt));
    return qint64(m_deadlineMs) - elapsed;
}

}  // namespace ringwise
