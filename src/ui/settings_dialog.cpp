// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings_dialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/load_settings.h"
#include "core/paths.h"
#include "core/settings_form.h"
#include "core/settings_table.h"
#include "core/version.h"
#include "ui/serial_port_choices.h"

namespace ringwise {

namespace {

QStringList pingIntervals() {
    QStringList seconds;
    for (int interval = 30; interval <= 300; interval += 30)
        seconds << QString::number(interval);
    return seconds;
}

// Controls carry the names the tests and the rest of the program know them by.
template <typename Control, typename... Arguments>
Control *named(const char *name, Arguments &&...arguments) {
    auto *control = new Control(std::forward<Arguments>(arguments)...);
    control->setObjectName(QLatin1String(name));
    return control;
}

QLabel *note(const QString &text) {
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

}  // namespace

SettingsDialog::SettingsDialog(SettingsStore &store, DesktopHooks hooks, QWidget *parent)
    : QDialog(parent), m_store(store), m_hooks(std::move(hooks)) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(kProductName + QStringLiteral(" [Settings]"));
    buildControls();
    m_loaded = std::make_unique<SettingsForm>(SettingsForm::load(m_store));
    fill(*m_loaded);
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::buildControls() {
    m_port = named<QLineEdit>("txtDebug0");
    m_autoStart = named<QCheckBox>("chkDebug0");
    m_checkDirectory = named<QCheckBox>("chkDebug1");
    m_database = named<QLineEdit>("txtDebug1");
    auto *browse = named<QPushButton>("cmdButton2", QStringLiteral(".."));
    browse->setAutoDefault(false);
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) * 3);
    m_comPort = named<QComboBox>("cboDebug0");
    m_comPort->setEditable(true);
    m_device = named<QComboBox>("cboDevice");
    m_device->addItems(kDeviceNames);
    m_routerHost = named<QLineEdit>("txtRouterHost");
    m_routerHost->setPlaceholderText(settingDefault(key::ServerRouterHost));
    m_password = named<QLineEdit>("txtDebug2");
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    m_startMinimized = named<QCheckBox>("chkDebug2");
    m_ping = named<QComboBox>("cboDebug1");
    m_ping->setEditable(true);
    m_listen = named<QLineEdit>("txtListen");
    m_listen->setPlaceholderText(QStringLiteral("every IPv4 address"));
    m_maxClients = named<QLineEdit>("txtMaxClients");
    m_maxPerAddress = named<QLineEdit>("txtMaxPerAddress");
    m_tlsPort = named<QLineEdit>("txtTlsPort");
    m_tlsPort->setPlaceholderText(QStringLiteral("no TLS"));
    m_tlsCert = named<QLineEdit>("txtTlsCert");
    m_tlsKey = named<QLineEdit>("txtTlsKey");
    m_desktopNotify = named<QCheckBox>("chkDebug3");
    auto *cancel = named<QPushButton>("cmdButton0", QStringLiteral("Cancel"));
    cancel->setAutoDefault(false);
    auto *ok = named<QPushButton>("cmdButton1", QStringLiteral("Ok"));
    ok->setDefault(true);

    auto *databaseRow = new QHBoxLayout;
    databaseRow->addWidget(m_database);
    databaseRow->addWidget(browse);
    auto *portRow = new QHBoxLayout;
    portRow->addWidget(m_comPort, 1);
    portRow->addWidget(m_device);
    auto *pingRow = new QHBoxLayout;
    pingRow->addWidget(m_ping);
    pingRow->addWidget(new QLabel(QStringLiteral("seconds.")));
    pingRow->addStretch();
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(cancel);
    buttonRow->addStretch();
    buttonRow->addWidget(ok);

    auto *serverPage = new QWidget;
    auto *rows = new QFormLayout(serverPage);
    rows->addRow(
        note(QStringLiteral("Please enter the default settings. Changes to the port, address, "
                            "TLS, device or COM port take effect at the next Connect; a new DB "
                            "location at the next start.")));
    rows->addRow(QStringLiteral("Enter default port:"), m_port);
    rows->addRow(QStringLiteral("Auto connect at startup:"), m_autoStart);
    rows->addRow(QStringLiteral("Check with De Gule Sider"), m_checkDirectory);
    rows->addRow(QStringLiteral("DB location"), databaseRow);
    rows->addRow(note(QStringLiteral("Note: Remember to specify the DB name. (eg. ") +
                      defaultDatabasePath() + QStringLiteral(")")));
    rows->addRow(QStringLiteral("Default COM port"), portRow);
    rows->addRow(QStringLiteral("Router (address or host name)"), m_routerHost);
    rows->addRow(QStringLiteral("Password"), m_password);
    rows->addRow(note(QStringLiteral("Note: Password is saved as plain text.")));
    rows->addRow(QStringLiteral("Start minimized"), m_startMinimized);
    rows->addRow(QStringLiteral("Send ping every"), pingRow);
    rows->addRow(QStringLiteral("Listen on address"), m_listen);
    rows->addRow(QStringLiteral("Most clients"), m_maxClients);
    rows->addRow(QStringLiteral("Most clients per address (0: no limit)"), m_maxPerAddress);
    rows->addRow(QStringLiteral("TLS port"), m_tlsPort);
    rows->addRow(QStringLiteral("TLS certificate (PEM)"), m_tlsCert);
    rows->addRow(QStringLiteral("TLS private key (PEM)"), m_tlsKey);
    rows->addRow(QStringLiteral("Desktop notification of calls"), m_desktopNotify);
    auto *pages = named<QTabWidget>("tabPages");
    pages->addTab(serverPage, QStringLiteral("Server"));
    pages->addTab(mqttPage(), QStringLiteral("MQTT"));
    auto *dialogRows = new QVBoxLayout(this);
    dialogRows->addWidget(pages);
    dialogRows->addLayout(buttonRow);
    setMinimumWidth(520);

    connect(browse, &QPushButton::clicked, this, &SettingsDialog::browseDatabase);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, &SettingsDialog::save);
}

QWidget *SettingsDialog::mqttPage() {
    m_mqttHost = named<QLineEdit>("txtMqttHost");
    m_mqttHost->setPlaceholderText(QStringLiteral("none: calls are not published"));
    m_mqttPort = named<QLineEdit>("txtMqttPort");
    m_mqttPort->setPlaceholderText(QStringLiteral("1883, with TLS 8883"));
    m_mqttUser = named<QLineEdit>("txtMqttUser");
    m_mqttPassword = named<QLineEdit>("txtMqttPassword");
    m_mqttPassword->setEchoMode(QLineEdit::Password);
    m_mqttTls = named<QCheckBox>("chkMqttTls");
    m_mqttCa = named<QLineEdit>("txtMqttCa");
    m_mqttCa->setPlaceholderText(QStringLiteral("the system's certificates"));
    m_mqttTopic = named<QLineEdit>("txtMqttTopic");
    m_mqttTopic->setPlaceholderText(settingDefault(key::MqttTopic));
    m_mqttDiscovery = named<QCheckBox>("chkMqttDiscovery");

    auto *page = new QWidget;
    auto *rows = new QFormLayout(page);
    rows->addRow(
        note(QStringLiteral("Every call is published to an MQTT broker, for home "
                            "automation such as Home Assistant.")));
    rows->addRow(QStringLiteral("Broker (address or host name)"), m_mqttHost);
    rows->addRow(QStringLiteral("Port"), m_mqttPort);
    rows->addRow(QStringLiteral("User"), m_mqttUser);
    rows->addRow(QStringLiteral("Password"), m_mqttPassword);
    rows->addRow(QStringLiteral("TLS"), m_mqttTls);
    rows->addRow(QStringLiteral("CA certificate (PEM)"), m_mqttCa);
    rows->addRow(QStringLiteral("Topic"), m_mqttTopic);
    rows->addRow(QStringLiteral("Home Assistant discovery"), m_mqttDiscovery);
    return page;
}

void SettingsDialog::fill(const SettingsForm &form) {
    m_port->setText(form.port);
    m_autoStart->setChecked(form.autoStart);
    m_checkDirectory->setChecked(form.checkDirectory);
    m_database->setText(form.database);
    m_database->setCursorPosition(0);
    m_comPort->clear();
    addSerialPortChoices(*m_comPort);
    m_comPort->setEditText(form.comPort);
    // An unknown device is the box.
    m_device->setCurrentIndex(std::max(0, int(kDeviceNames.indexOf(form.device))));
    m_routerHost->setText(form.routerHost);
    m_password->setText(form.password);
    m_startMinimized->setChecked(form.startMinimized);
    m_ping->clear();
    m_ping->addItems(pingIntervals());
    m_ping->setEditText(form.ping);
    m_listen->setText(form.listen);
    m_maxClients->setText(form.maxClients);
    m_maxPerAddress->setText(form.maxPerAddress);
    m_tlsPort->setText(form.tlsPort);
    m_tlsCert->setText(form.tlsCert);
    m_tlsKey->setText(form.tlsKey);
    m_desktopNotify->setChecked(form.desktopNotify);
    m_mqttHost->setText(form.mqttHost);
    m_mqttPort->setText(form.mqttPort);
    m_mqttUser->setText(form.mqttUser);
    m_mqttPassword->setText(form.mqttPassword);
    m_mqttTls->setChecked(form.mqttTls);
    m_mqttCa->setText(form.mqttCa);
    m_mqttTopic->setText(form.mqttTopic);
    m_mqttDiscovery->setChecked(form.mqttDiscovery);
}

SettingsForm SettingsDialog::form() const {
    SettingsForm form;
    form.port = m_port->text();
    form.autoStart = m_autoStart->isChecked();
    form.checkDirectory = m_checkDirectory->isChecked();
    form.database = m_database->text();
    form.comPort = m_comPort->currentText();
    form.device = m_device->currentText();
    form.routerHost = m_routerHost->text();
    form.password = m_password->text();
    form.startMinimized = m_startMinimized->isChecked();
    form.ping = m_ping->currentText();
    form.listen = m_listen->text();
    form.maxClients = m_maxClients->text();
    form.maxPerAddress = m_maxPerAddress->text();
    form.tlsPort = m_tlsPort->text();
    form.tlsCert = m_tlsCert->text();
    form.tlsKey = m_tlsKey->text();
    form.desktopNotify = m_desktopNotify->isChecked();
    form.mqttHost = m_mqttHost->text();
    form.mqttPort = m_mqttPort->text();
    form.mqttUser = m_mqttUser->text();
    form.mqttPassword = m_mqttPassword->text();
    form.mqttTls = m_mqttTls->isChecked();
    form.mqttCa = m_mqttCa->text();
    form.mqttTopic = m_mqttTopic->text();
    form.mqttDiscovery = m_mqttDiscovery->isChecked();
    return form;
}

void SettingsDialog::browseDatabase() {
    // A cancelled choice leaves the field as it was.
    const QString chosen =
        m_hooks.chooseFile(this, QStringLiteral("Open Ringwise database."), defaultDatabasePath(),
                           QStringLiteral("Ringwise database (*.db);;All files (*)"));
    if (!chosen.isEmpty())
        m_database->setText(chosen);
}

void SettingsDialog::save() {
    const SettingsForm values = form();
    if (const QString refusal = values.refusal(); !refusal.isEmpty()) {
        m_hooks.showMessage(this, MessageIcon::Information, kSettingsTitle, refusal);
        return;
    }
    if (values.save(writerFor(m_store))) {
        accept();
        if (values.changesConnection(*m_loaded))
            emit connectionSettingsChanged();
        return;
    }
    m_hooks.showMessage(this, MessageIcon::Warning, kSettingsTitle, kNotSavedText);
    reject();
}

}  // namespace ringwise
