// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace ringwise {

class Tray;

// Hides a window to the notification area and brings it back: a left click on the tray
// icon toggles the window; a right click leaves it to the icon's menu.
class TrayWindowControl : public QObject {
    Q_OBJECT
public:
    TrayWindowControl(QWidget &window, Tray &tray, std::function<bool()> hasNotificationArea,
                      QObject *parent = nullptr);

    // Without a notification area, or without the icon in it, a hidden window could never
    // be brought back: it is minimised to the task bar instead.
    void MinimizeToTray();
    // Shows the window normal (not minimised), raised and active.
    void bringToFront();

private:
    void onMouseClick(int button);

    QWidget &m_window;
    Tray &m_tray;
    std::function<bool()> m_hasNotificationArea;
};

}  // namespace ringwise
