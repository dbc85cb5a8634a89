// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QtGlobal>
#include <deque>
#include <optional>
#include <unordered_map>

namespace ringwise {

// The clients that still owe the password, in the order of acceptance, each with its own
// deadline a fixed time after its accept. Times are tick counts (milliseconds, signed
// 32-bit, wrapping); only differences between them count. Every operation costs the same
// however many clients wait: deadlines fall in the order of acceptance, so the earliest
// is always at the front.
class PendingLogins {
public:
    explicit PendingLogins(qint32 deadlineMs) : m_deadlineMs(deadlineMs) {}

    // A slot taken by a new client starts a fresh deadline in place of its old entry.
    void add(int slot, qint32 acceptedAt);
    void remove(int slot);
    bool contains(int slot) const { return m_waiting.count(slot) > 0; }
    bool isEmpty() const { return m_waiting.empty(); }

    // Removes and returns the slots whose deadline has come, in the order of acceptance.
    QList<int> takeDue(qint32 now);
    // How long until the earliest deadline (0 when one has passed); empty with no entries.
    std::optional<qint32> timeUntilNextDeadline(qint32 now);

private:
    struct Entry {
        int slot;
        qint32 acceptedAt;
        quint64 serial;  // tells a slot's current entry from one it left behind
    };

    bool isCurrent(const Entry &entry) const;
    // Drops the entries at the front whose slot has logged in, left or been taken again.
    void dropStaleFront();
    qint64 remaining(const Entry &entry, qint32 now) const;

    qint32 m_deadlineMs;
    std::deque<Entry> m_entries;                 // in the order of acceptance
    std::unordered_map<int, quint64> m_waiting;  // slot -> serial of its current entry
    quint64 m_nextSerial = 0;
};

}  // namespace ringwise
