#include "notify/desktop_notifier.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace ringwise {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// The server decides how long a notification stays.
constexpr int kServerTimeout = -1;

// The icon as the notification service's "image-data" hint: width, height, row stride, alpha,
// bits per sample, channels and the RGBA bytes.
QVariant imageData(const QImage &icon) {
    const QImage rgba = icon.convertToFormat(QImage::Format_RGBA8888);
    QDBusArgument argument;
    argument.beginStructure();
    argument << rgba.width() << rgba.height() << int(rgba.bytesPerLine()) << true << 8 << 4
             << QByteArray(reinterpret_cast<const char *>(rgba.constBits()), rgba.sizeInBytes());
    argument.endStructure();
    return QVariant::fromValue(argument);
}

}  // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QString appName, QImage appIcon,
                                 QObject *parent)
    : QObject(parent),
      m_bus(std::move(bus)),
      m_appName(std::move(appName)),
      m_appIcon(std::move(appIcon)) {}

void DesktopNotifier::notify(const QString &title, const QString &body) {
    if (!m_bus.isConnected()) {
        emit failed(title, body);
        return;
    }
    QVariantMap hints;
    if (!m_appIcon.isNull())
        hints.insert(QStringLiteral("image-data"), imageData(m_appIcon));
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << m_appName << uint(0) << QString() << title << body << QStringList() << hints
         << kServerTimeout;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, title, body](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (finished->isError())
                    emit failed(title, body);
            });
}

}  // namespace ringwise
