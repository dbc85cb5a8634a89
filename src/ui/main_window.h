// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>

#include "core/service.h"
#include "ui/desktop_failure_path.h"
#include "ui/desktop_hooks.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace ringwise {

class AboutDialog;
class BlockListDialog;
class DesktopNotifier;
class SettingsDialog;
class SettingsStore;
class Tray;
class TrayWindowControl;
class ValueLabel;

// frmMain: shows the service's state and forwards the user's commands to it. Every value
// on it comes from the service. Closing it hides it to the tray while the tray icon is
// shown; Quit, or closing it without a tray, shuts the service down and ends the program.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // windowStatePath: where the position and the "View debug" state are kept between
    // starts; empty keeps nothing.
    MainWindow(Service &service, SettingsStore &store, DesktopHooks hooks,
               QString windowStatePath = QString(), QWidget *parent = nullptr);

    // Runs the service's start-up before the window appears, then shows the window unless
    // the start-up minimised it. False when the start-up failed and the program must end.
    bool start();

    void MinimizeToTray();
    // Shows the window normal, raised and active, hidden or not.
    void bringToFront();
    // Neither box blocks the window; opening one that is open only brings it forward.
    void openSettings();
    void openAbout();
    // File > Import…, File > Export…: the summary, or why nothing happened, in a box.
    void importContacts();
    void exportContacts();
    // Shuts the service down and ends the program, tray or not.
    void quit();
    void openBlockList();

    Tray &tray() { return *m_tray1; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void buildMenus();
    void buildTrayMenu();
    void showTrayMenuState();
    QWidget *buildTopRow();
    QGroupBox *buildCallPanel();
    QGroupBox *buildStatusPanel();
    QGroupBox *buildDevicePanel();
    QWidget *buildTestButtons();
    QWidget *buildRecentCalls();
    void buildStatusBar();
    void layOut();
    void connectService();

    void showSelectedPort(const QString &port);
    void showRouterStatus(const QString &status);
    void showRunning(bool running);
    void showHostingLabels(const HostingLabels &labels);
    void showOpenAccess(const QString &warning);
    void showInStatusBar(QLabel &label, const QString &text);
    void appendDeviceOutput(const QString &text);
    void showRecentCalls();
    void notifyCall(const CallFields &call, bool blocked);
    void blockSelectedCaller();
    void setDebugView(bool debug);
    void hideToTray();
    void showTrayTip();
    void askToReconnect();
    void showSettingsModally();
    void restoreWindowState();
    void saveWindowState() const;

    Service &m_service;
    SettingsStore &m_store;
    DesktopHooks m_hooks;
    QString m_windowStatePath;
    Tray *m_tray1;
    TrayWindowControl *m_trayControl;
    DesktopNotifier *m_notifier;
    DesktopFailurePath m_failures;

    QComboBox *m_combo1 = nullptr;
    QPushButton *m_cmdButton = nullptr;
    QAction *m_trayShowHide = nullptr;
    QAction *m_trayConnect = nullptr;
    QCheckBox *m_chkDebug = nullptr;
    std::array<ValueLabel *, kCallFieldCount> m_lblDebug = {};
    std::array<ValueLabel *, 5> m_lblWSDebug = {};
    QListWidget *m_lstConnections = nullptr;
    QPlainTextEdit *m_txtDevice = nullptr;
    QWidget *m_debugView = nullptr;
    QTreeWidget *m_lstRecentCalls = nullptr;
    QLabel *m_openAccess = nullptr;
    QLabel *m_directoryStatus = nullptr;
    QLabel *m_routerStatus = nullptr;
    QPointer<SettingsDialog> m_settingsDialog;
    QPointer<AboutDialog> m_aboutDialog;
    bool m_quitting = false;
    bool m_toldOfTray = false;
    // The window manager places a new window after it is shown: the boxes follow once.
    bool m_boxesFollowPlacement = false;
    QString m_lastCaller;
    QPointer<BlockListDialog> m_blockListDialog;
};

}  // namespace ringwise
