// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

namespace ringwise::test {

// A D-Bus session bus of the test's own: dbus-daemon started for the test and stopped
// with it. Without dbus-daemon, isRunning() is false and the tests that need it skip.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();

    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

// One Notify call as the notification service received it.
struct ReceivedNotification {
    QString appName;
    QString summary;
    QString body;
    QVariantMap hints;
    uint replacesId = 0;
};

// A notification service on the given bus that records every Notify call.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit FakeNotifications(const QString &busAddress);
    ~FakeNotifications() override;

    bool isRegistered() const { return m_registered; }
    QList<ReceivedNotification> received;
    // Tells the notifiers that the user chose the action on the notification.
    void invokeAction(uint id, const QString &action);

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int timeout);
    QStringList GetCapabilities() const;

private:
    QDBusConnection m_bus;
    bool m_registered = false;
};

}  // namespace ringwise::test
