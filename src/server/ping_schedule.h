// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

namespace ringwise {

// When the keep-alive ping goes out. Ticked once a second with the ServerPing interval S:
// a ping goes out when the counter equals S, or has passed 300 whatever S is, so an S
// that the counter can never reach (a fraction, a negative number, more than 300) still
// gives a ping every 301 seconds.
class PingSchedule {
public:
    // The interval of a ServerPing text that is not a number.
    explicit PingSchedule(double defaultInterval) : m_defaultInterval(defaultInterval) {}

    // The ServerPing text as seconds, fractions and all ("60.0" is 60); only a text that is
    // not a number counts as the default.
    double interval(const QString &setting) const;

    // One second has passed; true when a ping goes out on this tick.
    bool tick(double interval);
    // The "Next ping" value: S minus the counter.
    QString nextPingText(double interval) const;

private:
    double m_defaultInterval;
    qint16 m_pingCounter = 0;
};

}  // namespace ringwise
