// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/tray.h"

#include <QPixmap>
#include <algorithm>

#include "core/version.h"

namespace ringwise {

namespace {

constexpr int kTipFieldSize = 64;
constexpr int kIconSize = 32;
// Further clicks are dropped until this long after the click's handler has returned.
constexpr int kClickLockMs = 15;

}  // namespace

Tray::Tray(QObject *parent)
    : QObject(parent),
      m_icon(new QSystemTrayIcon(this)),
      m_timer1(new QTimer(this)),
      m_toolTip(kProductName) {
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setSingleShot(true);
    m_timer1->setInterval(kClickLockMs);
    connect(m_timer1, &QTimer::timeout, this, [this] { m_clickLock = false; });
    connect(m_icon, &QSystemTrayIcon::activated, this, &Tray::onActivated);
}

void Tray::Show(bool updateData) {
    if (updateData) {
        m_icon->setIcon(m_picture);
        m_icon->setToolTip(tipField(m_toolTip));
        if (!m_isVisible) {
            m_icon->show();
            m_isVisible = true;
        }
    } else if (m_isVisible) {
        m_icon->hide();
        m_isVisible = false;
    }
}

void Tray::setTrayImage(const QIcon &picture) {
    m_picture = picture;
}

void Tray::setTrayImage(const QPixmap &picture) {
    m_picture = picture.isNull() ? QIcon()
                                 : QIcon(picture.scaled(kIconSize, kIconSize, Qt::IgnoreAspectRatio,
                                                        Qt::SmoothTransformation));
}

void Tray::setEventMode(int mode) {
    m_eventMode = std::clamp(mode, 0, 1);
}

QString Tray::tipField(const QString &toolTip) {
    if (toolTip.isEmpty())
        return QString();
    return (QLatin1Char(' ') + toolTip + QLatin1Char(' ')).left(kTipFieldSize);
}

void Tray::onActivated(QSystemTrayIcon::ActivationReason reason) {
    const int button = reason == QSystemTrayIcon::Trigger   ? 1
                       : reason == QSystemTrayIcon::Context ? 2
                                                            : 0;
    if (m_clickLock || button == 0)
        return;
    m_clickLock = true;
    emit MouseClick(button);
    // Started only now, so clicks made while the handler ran are dropped as well.
    m_timer1->start();
}

}  // namespace ringwise
