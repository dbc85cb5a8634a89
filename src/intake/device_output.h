// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

namespace ringwise {

// The device's characters as they came, each call on its own line, and the socket error
// lines. Only the newest part is kept, so that months of running cannot exhaust memory.
class DeviceOutput : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kDefaultLimit = 64 * 1024;

    explicit DeviceOutput(qsizetype limit = kDefaultLimit, QObject *parent = nullptr);

    void append(const QString &text);
    // The last `limit` characters appended.
    QString text() const;

signals:
    // Exactly what was appended, for the front ends that show the output as it grows.
    void appended(const QString &text);

private:
    qsizetype m_limit;
    QString m_text;
};

}  // namespace ringwise
