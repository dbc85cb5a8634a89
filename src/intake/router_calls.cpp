// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/router_calls.h"

#include <algorithm>

#include "intake/router_lines.h"

namespace ringwise {

RouterStep RouterCalls::HandleLine(const RouterLine &line) {
    RouterStep step;
    switch (line.event) {
        case RouterEvent::Ring:
            if (m_calls.size() >= kMostCalls && m_calls.count(line.connectionId) == 0)
                m_calls.erase(std::min_element(m_calls.begin(), m_calls.end(),
                                               [](const auto &a, const auto &b) {
                                                   return a.second.ringTime < b.second.ringTime;
                                               }));
            m_calls[line.connectionId] = Call{line.time, std::nullopt};
            step.characters = line.number.isEmpty()
                                  ? QStringLiteral("D#")
                                  : QLatin1Char('A') + line.number + QLatin1Char('#');
            break;
        case RouterEvent::Connect:
        case RouterEvent::Disconnect: {
            const auto call = m_calls.find(line.connectionId);
            if (call == m_calls.end())
                break;
            const qint64 seconds = call->second.ringTime.secsTo(line.time);
            step.ringsOf = call->second.serial;
            // The router's clock may jump (summer time) or lie: no call rings for an hour.
            step.rings = int(std::clamp<qint64>(seconds / kSecondsPerRing, 1, kMostRings));
            m_calls.erase(call);
            break;
        }
        case RouterEvent::Call:
            // The id is an outgoing call's now.
            m_calls.erase(line.connectionId);
            break;
        case RouterEvent::Other:
            break;
    }
    return step;
}

void RouterCalls::noteLogged(int connectionId, quint64 serial) {
    const auto call = m_calls.find(connectionId);
    if (call != m_calls.end())
        call->second.serial = serial;
}

}  // namespace ringwise
