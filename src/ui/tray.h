// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

class QMenu;
class QPixmap;

namespace ringwise {

// Tray1: one icon with a tool tip in the desktop's notification area, reporting clicks on
// it. Changing the picture or the tip takes effect at the next Show(true).
class Tray : public QObject {
    Q_OBJECT
public:
    explicit Tray(QObject *parent = nullptr);

    // true: puts the icon into the notification area, or updates its picture and tip;
    // false: removes it.
    void Show(bool updateData);
    bool IsVisible() const { return m_isVisible; }

    QIcon TrayImage() const { return m_picture; }
    // A null icon clears the picture.
    void setTrayImage(const QIcon &picture);
    // A picture that is not an icon becomes a 32-by-32 icon.
    void setTrayImage(const QPixmap &picture);

    QString TrayToolTip() const { return m_toolTip; }
    void setTrayToolTip(const QString &text) { m_toolTip = text; }

    // Changes nothing on purpose: kept (between 0 and 1) for those who set it, while every
    // click is reported through MouseClick whatever it holds.
    int EventMode() const { return m_eventMode; }
    void setEventMode(int mode);

    bool isClickLocked() const { return m_clickLock; }

    // The menu of a right click on the icon; the caller keeps ownership.
    void setContextMenu(QMenu *menu) { m_icon->setContextMenu(menu); }
    QMenu *contextMenu() const { return m_icon->contextMenu(); }
    // A message balloon beside the icon, where the notification area offers one.
    void showMessage(const QString &title, const QString &text) {
        m_icon->showMessage(title, text, m_picture);
    }

    // The tip as the notification area shows it: a blank, the text and a blank in a
    // field of 64 characters; a longer tip loses its end.
    static QString tipField(const QString &toolTip);

signals:
    // 1 for a left click (activation), 2 for a right click (context request).
    void MouseClick(int button);

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon *m_icon;
    QTimer *m_timer1;
    QIcon m_picture;
    QString m_toolTip;
    int m_eventMode = 0;
    bool m_isVisible = false;
    bool m_clickLock = false;
};

}  // namespace ringwise
