#include "server/ping_schedule.h"

namespace ringwise {

namespace {

constexpr qint16 kFallbackLimit = 300;

}  // namespace

qint32 PingSchedule::interval(const QString &setting) {
    bool isNumber = false;
    const qint32 seconds = setting.toInt(&isNumber);
    return isNumber ? seconds : kDefaultInterval;
}

bool PingSchedule::tick(qint32 interval) {
    const bool ping = m_pingCounter == interval || m_pingCounter > kFallbackLimit;
    if (ping)
        m_pingCounter = 0;
    ++m_pingCounter;
    return ping;
}

QString PingSchedule::nextPingText(qint32 interval) const {
    return QString::number(qint64(interval) - m_pingCounter);
}

}  // namespace ringwise
