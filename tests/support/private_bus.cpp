// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/private_bus.h"

#include <QDBusMessage>
#include <QStandardPaths>

namespace ringwise::test {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr int kStartMs = 10000;

}  // namespace

PrivateBus::PrivateBus() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        return;
    m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--print-address"),
                            QStringLiteral("--nofork")});
    // The daemon prints its address once it listens.
    while (m_daemon.waitForReadyRead(kStartMs)) {
        if (m_daemon.canReadLine()) {
            m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
            break;
        }
    }
}

PrivateBus::~PrivateBus() {
    m_daemon.terminate();
    m_daemon.waitForFinished();
}

FakeNotifications::FakeNotifications(const QString &busAddress)
    : m_bus(QDBusConnection::connectToBus(busAddress, QStringLiteral("fake-notifications"))) {
    m_registered = m_bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots) &&
                   m_bus.registerService(kService);
}

FakeNotifications::~FakeNotifications() {
    m_bus.unregisterService(kService);
    m_bus.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-notifications"));
}

uint FakeNotifications::Notify(const QString &appName, uint replacesId, const QString &,
                               const QString &summary, const QString &body, const QStringList &,
                               const QVariantMap &hints, int) {
    received.append({appName, summary, body, hints, replacesId});
    return uint(received.size());
}

void FakeNotifications::invokeAction(uint id, const QString &action) {
    m_bus.send(QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked"))
               << id << action);
}

QStringList FakeNotifications::GetCapabilities() const {
    return {QStringLiteral("body")};
}

}  // namespace ringwise::test
