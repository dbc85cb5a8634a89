// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

#include "core/settings_table.h"

namespace ringwise {

class SettingsStore;

inline const QString kNotSavedText = QStringLiteral("The changes could not be saved.");

// Stores one key's text; false when the store refused it.
using WriteSetting = std::function<bool(const QString &key, const QString &text)>;

// The values the settings dialog edits, as its controls hold them.
struct SettingsForm {
    QString port;
    bool autoStart = false;
    bool checkDirectory = true;
    QString database;
    QString comPort;
    QString password;
    bool startMinimized = false;
    QString ping;
    QString device = kBoxDevice;
    QString routerHost;
    // Who may connect: the listen address, the caps, and the TLS port with its PEM files.
    QString listen;
    QString maxClients;
    QString maxPerAddress;
    QString tlsPort;
    QString tlsCert;
    QString tlsKey;
    bool desktopNotify = true;
    // Publishing calls to an MQTT broker.
    QString mqttHost;
    QString mqttPort;
    QString mqttUser;
    QString mqttPassword;
    bool mqttTls = false;
    QString mqttCa;
    QString mqttTopic;
    bool mqttDiscovery = true;

    // The stored texts; a missing or empty key shows its default.
    static SettingsForm load(const SettingsStore &store);
    // Why the values may not be saved, by the rules of the settings table; empty when
    // they may.
    QString refusal() const;
    // Writes every key, texts unchanged, in the dialog's order and stops at the first
    // refused write: the keys before it keep their new values, the others their old ones.
    bool save(const WriteSetting &write) const;
    // Whether the values differ from `before` in what the next Connect reads: the port,
    // listen address, caps, TLS, device, router or serial port.
    bool changesConnection(const SettingsForm &before) const;
};

// The store's Write as a WriteSetting.
WriteSetting writerFor(SettingsStore &store);

}  // namespace ringwise
