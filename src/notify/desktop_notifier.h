// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>
#include <optional>

namespace ringwise {

// Pops up notifications through the freedesktop notification service
// (org.freedesktop.Notifications) on the bus it is given: the session bus, or a test's own.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    DesktopNotifier(QDBusConnection bus, QString appName, QImage appIcon,
                    QObject *parent = nullptr);

    // Returns at once; a bus or service that cannot take it emits failed(). A notification
    // with the tag of the last tagged one replaces it (the call's, when the directory names
    // the caller) instead of popping up a second; a tagged one is a call's. With a
    // numberToCopy the notification offers "Copy number".
    void notify(const QString &title, const QString &body, const QString &tag = QString(),
                const QString &numberToCopy = QString());

signals:
    // No notification service took the notification: the caller may show it another way.
    void failed(const QString &title, const QString &body);
    // The user chose "Copy number" on a notification.
    void copyRequested(const QString &number);

private slots:
    void onActionInvoked(uint id, const QString &action);

private:
    QDBusConnection m_bus;
    QString m_appName;
    QImage m_appIcon;
    // The last tagged notification and the service's id for it.
    QString m_lastTag;
    uint m_lastId = 0;
    bool m_lastIdPending = false;  // asked, not yet answered
    // A notification of the last tag that waits for its id, the latest only.
    struct Waiting {
        QString title;
        QString body;
        QString numberToCopy;
    };
    std::optional<Waiting> m_waiting;
    // The numbers of the notifications that offer "Copy number", by the service's id.
    QHash<uint, QString> m_numbers;
};

}  // namespace ringwise
