#pragma once

#include <QString>
#include <QtGlobal>

namespace ringwise {

// When the keep-alive ping goes out. Ticked once a second with the ServerPing interval S:
// a ping goes out when the counter equals S, or has passed 300 whatever S is, so an S
// that the counter can never reach still gives a ping every 301 seconds.
class PingSchedule {
public:
    static constexpr qint32 kDefaultInterval = 120;

    // The ServerPing text as seconds; a text that is not a whole number counts as 120.
    static qint32 interval(const QString &setting);

    // One second has passed; true when a ping goes out on this tick.
    bool tick(qint32 interval);
    qint16 pingCounter() const { return m_pingCounter; }
    // The "Next ping" value: S minus the counter.
    QString nextPingText(qint32 interval) const;

private:
    qint16 m_pingCounter = 0;
};

}  // namespace ringwise
