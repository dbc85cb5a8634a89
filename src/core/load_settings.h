// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>

#include "core/message.h"
#include "core/settings_table.h"

namespace ringwise {

class SettingsStore;

// The title of the messages about settings.
inline const QString kSettingsTitle = QStringLiteral("Settings");

// The values loaded at start-up, and again at a Connect after the texts of its keys changed
// (the database path excepted); every other key is read when it is used.
struct ServerSettings {
    quint16 serverPort = settingDefault(key::ServerPort).toUShort();
    QString dbPath;
    // Only the default database may be created when it is missing.
    bool dbPathIsDefault = true;
    // The port selector's text: "COM1".."COM7" or an absolute device path.
    QString serialPort = settingDefault(key::ServerCOM);
    // Null when ServerListen names no address: hosting then fails as a bind error rather
    // than fall back to every address.
    QHostAddress listenAddress = QHostAddress::AnyIPv4;
    int maxClients = settingDefault(key::ServerMaxClients).toInt();
    int maxPerAddress = settingDefault(key::ServerMaxPerAddress).toInt();  // 0: no limit
    // The TLS port, with the PEM files of its certificate and private key; 0: no TLS.
    quint16 tlsPort = 0;
    QString tlsCertPath;
    QString tlsKeyPath;
    quint16 webPort = 0;  // the web page's port; 0: off
};

// Writes the defaults of the settings table that are written at start-up into the keys
// that are empty, nothing else, then reads the start-up keys.
// A ServerPort or ServerTlsPort that is not a port number, a ServerCOM that is not a serial
// port, a ServerListen that is not an address and caps that are not counts are reported
// through the sink.
ServerSettings LoadSettings(SettingsStore &store, const MessageSink &messages);
// ServerDB, or the default database when it is empty; only the default may be created.
void readDatabasePath(const SettingsStore &store, ServerSettings &settings);

// True for "COM1".."COM7" and for an absolute path ("/dev/ttyUSB0", a socat link in /tmp).
bool isSerialPortName(const QString &name);
// The device path of a serial port name: COMn is /dev/ttyS(n-1), a path is itself.
QString serialDevicePath(const QString &name);
// How the port is named to the user: "COM1 (/dev/ttyS0)", or the path alone.
QString serialPortText(const QString &name);

}  // namespace ringwise
