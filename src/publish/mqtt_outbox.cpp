// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/mqtt_outbox.h"

#include <algorithm>
#include <utility>

namespace ringwise {

MqttOutbox::MqttOutbox(int limit) : m_limit(limit) {}

void MqttOutbox::push(const QByteArray &json) {
    m_entries.push_back({m_nextId++, json});
    if (int(m_entries.size()) <= m_limit)
        return;
    m_entries.pop_front();
    // A call already handed on is still delivered by the connection it went to.
    if (m_handed > 0)
        --m_handed;
    else
        ++m_dropped;
}

std::optional<MqttOutbox::Entry> MqttOutbox::takeNext() {
    if (m_handed >= m_entries.size())
        return std::nullopt;
    return m_entries[m_handed++];
}

void MqttOutbox::acknowledge(quint64 id) {
    const auto handedEnd = m_entries.begin() + std::ptrdiff_t(m_handed);
    const auto entry = std::find_if(m_entries.begin(), handedEnd,
                                    [id](const Entry &candidate) { return candidate.id == id; });
    if (entry == handedEnd)
        return;
    m_entries.erase(entry);
    --m_handed;
}

void MqttOutbox::rewind() {
    m_handed = 0;
}

int MqttOutbox::takeDropped() {
    return std::exchange(m_dropped, 0);
}

}  // namespace ringwise
