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

void DesktopNotifier::notify(const QString &title, const QString &body, const QString &tag) {
    if (!m_bus.isConnected()) {
        emit failed(title, body);
        return;
    }
    QVariantMap hints;
    if (!m_appIcon.isNull())
        hints.insert(QStringLiteral("image-data"), imageData(m_appIcon));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("ringwise-server"));
    if (!tag.isEmpty())
        hints.insert(QStringLiteral("category"), QStringLiteral("x-ringwise.call"));
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const uint replacesId = !tag.isEmpty() && tag == m_lastTag ? m_lastId : 0;
    call << m_appName << replacesId << QString() << title << body << QStringList() << hints
         << kServerTimeout;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, title, body, tag](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (finished->isError())
                    emit failed(title, body);
                else if (!tag.isEmpty()) {
                    m_lastTag = tag;
                    m_lastId = QDBusPendingReply<uint>(*finished).value();
                }
            });
}

}  // namespace ringwise
