// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

namespace ringwise {

// Tells a failure that repeats from a new one, so that a background task failing at every
// call (a directory on a machine that is offline) opens one box, not one per call: the
// first failure of a streak is for the user, the same failure again only for the device
// output and the status line, until the task succeeds or fails another way.
class FailureStreak {
public:
    explicit FailureStreak(QString name) : m_name(std::move(name)) {}

    // True when the failure starts a streak.
    bool fail(const QString &text, const QDateTime &now);
    void succeed();
    // "Directory: not reachable (113) since 05:09" while failing; empty otherwise.
    QString status() const;

private:
    QString m_name;
    QString m_text;
    QDateTime m_since;
};

}  // namespace ringwise
