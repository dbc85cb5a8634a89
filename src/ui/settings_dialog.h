// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <memory>

#include "ui/desktop_hooks.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace ringwise {

class SettingsStore;
struct SettingsForm;

// frmSettings: edits the stored settings. Loads them when it is created, writes them on
// "Ok" and closes; "Cancel" writes nothing.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(SettingsStore &store, DesktopHooks hooks, QWidget *parent = nullptr);
    ~SettingsDialog() override;

signals:
    // "Ok" has saved changes that the next Connect puts into effect.
    void connectionSettingsChanged();

private:
    void buildControls();
    QWidget *mqttPage();
    void fill(const SettingsForm &form);
    SettingsForm form() const;
    void browseDatabase();
    void save();

    SettingsStore &m_store;
    DesktopHooks m_hooks;
    std::unique_ptr<SettingsForm> m_loaded;
    QLineEdit *m_port = nullptr;
    QCheckBox *m_autoStart = nullptr;
    QCheckBox *m_checkDirectory = nullptr;
    QLineEdit *m_database = nullptr;
    QComboBox *m_comPort = nullptr;
    QComboBox *m_device = nullptr;
    QLineEdit *m_routerHost = nullptr;
    QLineEdit *m_password = nullptr;
    QCheckBox *m_startMinimized = nullptr;
    QComboBox *m_ping = nullptr;
    QLineEdit *m_listen = nullptr;
    QLineEdit *m_maxClients = nullptr;
    QLineEdit *m_maxPerAddress = nullptr;
    QLineEdit *m_tlsPort = nullptr;
    QLineEdit *m_tlsCert = nullptr;
    QLineEdit *m_tlsKey = nullptr;
    QCheckBox *m_desktopNotify = nullptr;
    QLineEdit *m_mqttHost = nullptr;
    QLineEdit *m_mqttPort = nullptr;
    QLineEdit *m_mqttUser = nullptr;
    QLineEdit *m_mqttPassword = nullptr;
    QCheckBox *m_mqttTls = nullptr;
    QLineEdit *m_mqttCa = nullptr;
    QLineEdit *m_mqttTopic = nullptr;
    QCheckBox *m_mqttDiscovery = nullptr;
};

}  // namespace ringwise
