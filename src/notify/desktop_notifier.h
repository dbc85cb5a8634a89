#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QString>

namespace ringwise {

// Pops up notifications through the freedesktop notification service
// (org.freedesktop.Notifications) on the bus it is given: the session bus, or a test's own.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    DesktopNotifier(QDBusConnection bus, QString appName, QImage appIcon,
                    QObject *parent = nullptr);

    // Returns at once; a bus or service that cannot take it emits failed().
    void notify(const QString &title, const QString &body);

signals:
    // No notification service took the notification: the caller may show it another way.
    void failed(const QString &title, const QString &body);

private:
    QDBusConnection m_bus;
    QString m_appName;
    QImage m_appIcon;
};

}  // namespace ringwise
