// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <deque>
#include <optional>

namespace ringwise {

// The calls not yet acknowledged by the broker, oldest first, as their JSON texts. A call
// stays until the broker acknowledges it, so a connection lost with calls in flight sends
// them again on the next. Past the limit the oldest call goes; it counts as dropped unless it
// was handed to the connection, which still delivers it (the call is only not sent again
// should that connection be lost).
class MqttOutbox {
public:
    static constexpr int kDefaultLimit = 1000;

    struct Entry {
        quint64 id;
        QByteArray json;
    };

    explicit MqttOutbox(int limit = kDefaultLimit);

    void push(const QByteArray &json);
    // The next call not yet handed to the connection, now counted as handed; none when every
    // call is.
    std::optional<Entry> takeNext();
    // The broker has the call: it leaves the outbox. An id no longer there is ignored.
    void acknowledge(quint64 id);
    // The connection is gone: every call waiting is handed again on the next one.
    void rewind();

    // Calls dropped past the limit, never handed on, since the last time this was asked.
    int takeDropped();

private:
    int m_limit;
    std::deque<Entry> m_entries;
    std::size_t m_handed = 0;  // the first m_handed entries are in flight
    quint64 m_nextId = 1;
    int m_dropped = 0;
};

}  // namespace ringwise
