// SPDX-License-Identifier: GPL-3.0-or-later
#include "notify/desktop_notifier.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace ringwise {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kCopyAction = QStringLiteral("copy-number");
// Notifications kept for "Copy number"; older ones lose the action's effect.
constexpr int kMostNumbers = 64;
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
      m_appIcon(std::move(appIcon)) {
    m_bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
}

void DesktopNotifier::onActionInvoked(uint id, const QString &action) {
    if (action == kCopyAction && m_numbers.contains(id))
        emit copyRequested(m_numbers.value(id));
}

void DesktopNotifier::notify(const QString &title, const QString &body, const QString &tag,
                             const QString &numberToCopy) {
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
    if (!tag.isEmpty() && tag == m_lastTag && m_lastIdPending) {
        // The service has not yet said which notification to replace: sent once it has.
        m_waiting = {title, body, numberToCopy};
        return;
    }
    if (!tag.isEmpty() && tag != m_lastTag) {
        m_lastTag = tag;
        m_lastId = 0;
        m_lastIdPending = true;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const uint replacesId = tag.isEmpty() ? 0 : m_lastId;
    const QStringList actions = numberToCopy.isEmpty()
                                    ? QStringList()
                                    : QStringList{kCopyAction, QStringLiteral("Copy number")};
    call << m_appName << replacesId << QString() << title << body << actions << hints
         << kServerTimeout;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, title, body, tag, numberToCopy](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const uint id =
                    finished->isError() ? 0 : QDBusPendingReply<uint>(*finished).value();
                if (!tag.isEmpty() && tag == m_lastTag && m_lastIdPending) {
                    m_lastId = id;
                    m_lastIdPending = false;
                    if (const std::optional<Waiting> waiting = std::exchange(m_waiting, {}))
                        notify(waiting->title, waiting->body, tag, waiting->numberToCopy);
                }
                if (finished->isError()) {
                    emit failed(title, body);
                    return;
                }
                if (!numberToCopy.isEmpty()) {
                    if (m_numbers.size() >= kMostNumbers)
                        m_numbers.clear();
                    m_numbers.insert(id, numberToCopy);
                }
            });
}

}  // namespace ringwise
