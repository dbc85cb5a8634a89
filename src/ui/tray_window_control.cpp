// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/tray_window_control.h"

#include <QWidget>

#include "ui/tray.h"

namespace ringwise {

namespace {

constexpr int kLeftButton = 1;

}  // namespace

TrayWindowControl::TrayWindowControl(QWidget &window, Tray &tray,
                                     std::function<bool()> hasNotificationArea, QObject *parent)
    : QObject(parent),
      m_window(window),
      m_tray(tray),
      m_hasNotificationArea(std::move(hasNotificationArea)) {
    connect(&m_tray, &Tray::MouseClick, this, &TrayWindowControl::onMouseClick);
}

void TrayWindowControl::MinimizeToTray() {
    if (m_hasNotificationArea() && m_tray.IsVisible())
        m_window.hide();
    else
        m_window.showMinimized();
}

void TrayWindowControl::bringToFront() {
    // A window hidden while minimised keeps that state: shown as it is, it would come back
    // only as a task-bar entry.
    m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

void TrayWindowControl::onMouseClick(int button) {
    if (button != kLeftButton)
        return;
    if (m_window.isHidden() || m_window.isMinimized())
        bringToFront();
    else
        MinimizeToTray();
}

}  // namespace ringwise
