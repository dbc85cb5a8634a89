// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/failure_streak.h"

namespace ringwise {

bool FailureStreak::fail(const QString &text, const QDateTime &now) {
    if (m_since.isValid() && text == m_text)
        return false;
    m_text = text;
    m_since = now;
    return true;
}

void FailureStreak::succeed() {
    m_text.clear();
    m_since = QDateTime();
}

QString FailureStreak::status() const {
    if (!m_since.isValid())
        return QString();
    // A socket failure is reported as the system's error number alone.
    bool isErrorNumber = false;
    m_text.toInt(&isErrorNumber);
    const QString since = m_since.toString(QStringLiteral("HH:mm"));
    return isErrorNumber
               ? QStringLiteral("%1: not reachable (%2) since %3").arg(m_name, m_text, since)
               : QStringLiteral("%1: failing since %2: %3").arg(m_name, since, m_text);
}

}  // namespace ringwise
