// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/modem_calls.h"

#include "intake/modem_lines.h"

namespace ringwise {

ModemCalls::ModemCalls(int callWindowMs) : m_callWindowMs(callWindowMs) {}

QString ModemCalls::HandleLine(const ModemLine &line, qint32 tick) {
    // A window that has passed counts before this line, even when its timer is late.
    QString characters;
    if (isHoldingRings() && elapsed(m_heldSince, tick) >= m_callWindowMs)
        characters = endCallWindow();
    switch (line.kind) {
        case ModemLineKind::Ring:
            if (isHoldingRings()) {
                ++m_heldRings;
            } else if (m_inCall && elapsed(m_lastEvent, tick) <= kRingGapMs) {
                characters += QLatin1Char('R');
            } else {
                m_heldRings = 1;
                m_heldSince = tick;
            }
            m_lastEvent = tick;
            break;
        case ModemLineKind::Number:
        case ModemLineKind::NoNumber:
            if (!repeatsCurrentBlock(line, tick))
                characters += openCall(line.kind == ModemLineKind::Number
                                           ? QLatin1Char('A') + line.number + QLatin1Char('#')
                                           : QStringLiteral("D#"),
                                       line.number);
            m_lastEvent = tick;
            break;
        default:
            break;
    }
    return characters;
}

QString ModemCalls::endCallWindow() {
    return isHoldingRings() ? openCall(QStringLiteral("D#"), std::nullopt) : QString();
}

QString ModemCalls::openCall(const QString &opening, const std::optional<QString> &blockNumber) {
    const QString characters = opening + QString(m_heldRings, QLatin1Char('R'));
    m_heldRings = 0;
    m_inCall = true;
    m_blockNumber = blockNumber;
    return characters;
}

bool ModemCalls::repeatsCurrentBlock(const ModemLine &line, qint32 tick) const {
    return m_inCall && !isHoldingRings() && elapsed(m_lastEvent, tick) <= kRingGapMs &&
           m_blockNumber == line.number;
}

qint32 ModemCalls::elapsed(qint32 from, qint32 to) {
    // The tick count wraps; the difference of two ticks does not.
    return static_cast<qint32>(static_cast<quint32>(to) - static_cast<quint32>(from));
}

}  // namespace ringwise
