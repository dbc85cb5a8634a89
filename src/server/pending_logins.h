#pragma once

#include <QList>
#include <QtGlobal>
#include <optional>

namespace ringwise {

// The clients that still owe the password, in the order of acceptance, each with its own
// deadline a fixed time after its accept. Times are tick counts (milliseconds, signed
// 32-bit, wrapping); only differences between them count.
class PendingLogins {
public:
    explicit PendingLogins(qint32 deadlineMs) : m_deadlineMs(deadlineMs) {}

    // A slot taken by a new client starts a fresh deadline in place of its old entry.
    void add(int slot, qint32 acceptedAt);
    void remove(int slot);
    bool contains(int slot) const;
    bool isEmpty() const { return m_entries.isEmpty(); }

    // Removes and returns the slots whose deadline has come, in the order of acceptance.
    QList<int> takeDue(qint32 now);
    // How long until the earliest deadline (0 when one has passed); empty with no entries.
    std::optional<qint32> timeUntilNextDeadline(qint32 now) const;

private:
    struct Entry {
        int slot;
        qint32 acceptedAt;
    };

    qint64 remaining(const Entry &entry, qint32 now) const;

    qint32 m_deadlineMs;
    QList<Entry> m_entries;
};

}  // namespace ringwise
