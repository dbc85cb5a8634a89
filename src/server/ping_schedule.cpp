// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/ping_schedule.h"

#include <cmath>

namespace ringwise {

namespace {

constexpr qint16 kFallbackLimit = 300;

}  // namespace

double PingSchedule::interval(const QString &setting) const {
    bool isNumber = false;
    const double seconds = setting.toDouble(&isNumber);
    return isNumber && std::isfinite(seconds) ? seconds : m_defaultInterval;
}

bool PingSchedule::tick(double interval) {
    const bool ping = m_pingCounter == interval || m_pingCounter > kFallbackLimit;
    if (ping)
        m_pingCounter = 0;
    ++m_pingCounter;
    return ping;
}

QString PingSchedule::nextPingText(double interval) const {
    // Enough digits that a whole S of any size is written out, not in exponent form.
    return QString::number(interval - m_pingCounter, 'g', 15);
}

}  // namespace ringwise
