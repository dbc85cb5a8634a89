// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <limits>
#include <vector>

namespace ringwise {

class SettingsStore;

// The keys of the settings, all in section "Settings".
namespace key {
inline const QString ServerPort = QStringLiteral("ServerPort");
inline const QString ServerAutoStart = QStringLiteral("ServerAutoStart");
inline const QString ServerDB = QStringLiteral("ServerDB");
inline const QString ServerCOM = QStringLiteral("ServerCOM");
inline const QString ServerCheckDGS = QStringLiteral("ServerCheckDGS");
inline const QString ServerMinimized = QStringLiteral("ServerMinimized");
inline const QString ServerPing = QStringLiteral("ServerPing");
inline const QString ServerPassword = QStringLiteral("ServerPassword");
inline const QString ServerDirectoryHost = QStringLiteral("ServerDirectoryHost");
inline const QString ServerDevice = QStringLiteral("ServerDevice");
inline const QString ServerModemBaud = QStringLiteral("ServerModemBaud");
inline const QString ServerModemInit = QStringLiteral("ServerModemInit");
inline const QString ServerCountryCode = QStringLiteral("ServerCountryCode");
inline const QString ServerRouterHost = QStringLiteral("ServerRouterHost");
inline const QString ServerRouterPort = QStringLiteral("ServerRouterPort");
inline const QString ServerListen = QStringLiteral("ServerListen");
inline const QString ServerMaxClients = QStringLiteral("ServerMaxClients");
inline const QString ServerMaxPerAddress = QStringLiteral("ServerMaxPerAddress");
inline const QString ServerTlsPort = QStringLiteral("ServerTlsPort");
inline const QString ServerTlsCert = QStringLiteral("ServerTlsCert");
inline const QString ServerTlsKey = QStringLiteral("ServerTlsKey");
inline const QString DesktopNotify = QStringLiteral("DesktopNotify");
inline const QString ServerWebPort = QStringLiteral("ServerWebPort");
inline const QString MqttHost = QStringLiteral("MqttHost");
inline const QString MqttPort = QStringLiteral("MqttPort");
inline const QString MqttUser = QStringLiteral("MqttUser");
inline const QString MqttPassword = QStringLiteral("MqttPassword");
inline const QString MqttTls = QStringLiteral("MqttTls");
inline const QString MqttCa = QStringLiteral("MqttCa");
inline const QString MqttTopic = QStringLiteral("MqttTopic");
inline const QString MqttDiscovery = QStringLiteral("MqttDiscovery");
inline const QString BlockWithheld = QStringLiteral("BlockWithheld");
inline const QString ServerModemHangupMs = QStringLiteral("ServerModemHangupMs");
}  // namespace key

// What a setting's text holds: how it is read, edited and checked.
enum class SettingKind {
    Text,
    Port,          // a TCP port number, 1 to 65535
    Flag,          // "True" or "False", edited with a check box
    DatabasePath,  // empty: the default database
    SerialPort,    // COM1 to COM7 or an absolute device path
    Seconds,       // a number, fractions and all
    Password,      // empty for none; never printed
    Device,        // the kind of caller-ID device: one of kDeviceNames
    BaudRate,      // a whole number of bits per second
    Address,       // empty, or one IPv4 or IPv6 address of this machine
    Count,         // a whole number, 0 or more
    OptionalPort,  // empty for none, or a TCP port number
    CountryCode,   // a country calling code: 1 to 3 digits
    Host,          // an IPv4 or IPv6 address or a host name
    PortOrOff,     // a TCP port number, or 0 for off
    Secret,        // any text; never printed
    Topic,         // an MQTT topic to publish under: no wildcards, no empty level
    ReadableFile,  // empty, or a file this user can read
};

struct Setting {
    QString key;
    SettingKind kind;
    QString defaultText;  // what an empty or missing text stands for
    // Start-up stores the default into the key when it is empty.
    bool writtenAtStart = false;
    int largest = std::numeric_limits<int>::max();  // of a Count
};

// Every setting, in the order `--settings` lists them.
const std::vector<Setting> &settingsTable();
// The row of the key; nullptr when the key is no setting.
const Setting *findSetting(const QString &key);
// What an empty text of the key stands for; for ServerDB the default database's path.
QString settingDefault(const QString &key);
// The stored text of the key, or its default when it is empty.
QString storedOrDefault(const SettingsStore &store, const QString &key);

// Why the text may not be stored under the setting, by the rules of the settings dialog;
// empty when it may; `--set` and the dialog both ask it. No setting holds a NUL byte or a
// text the settings file would read back as another; flags, the password, the device, the
// baud rate, ports, serial ports, seconds, addresses, counts and the country code have rules
// of their own.
QString settingRefusal(const Setting &setting, const QString &text);
inline const QString kPasswordTooShortText =
    QStringLiteral("Your password must be more than 8 characters long.");
inline const QString kPasswordNotLatin1Text = QStringLiteral(
    "Your password may hold only Latin-1 (ISO 8859-1) characters: clients send it in that "
    "character set.");

// Only the exact text "True" counts as set; "true" does not.
bool isTrue(const QString &text);
QString flagText(bool set);

// The kinds of caller-ID device: the box that sends characters, a modem that sends lines, or
// the call monitor of a router on the network. An empty or unknown ServerDevice is the box.
inline const QString kBoxDevice = QStringLiteral("Box");
inline const QString kModemDevice = QStringLiteral("Modem");
inline const QString kRouterDevice = QStringLiteral("Router");
inline const QStringList kDeviceNames = {kBoxDevice, kModemDevice, kRouterDevice};
bool isModem(const QString &deviceText);
bool isRouter(const QString &deviceText);
// The broker's port: MqttPort, or MQTT's usual one (1883, with TLS 8883) when it is empty.
quint16 mqttPort(const QString &text, bool tls);
// A ServerRouterPort that is not a port number is the call monitor's usual one.
quint16 routerPort(const QString &text);
// A ServerModemBaud that is not a positive whole number is the modem's usual speed.
qint32 modemBaudRate(const QString &text);
// A ServerModemHangupMs that its row refuses is the default pause.
int modemHangupMs(const QString &text);
// A ServerCountryCode that is not 1 to 3 digits is the default's.
QString countryCode(const QString &text);
// The extra commands of ServerModemInit, separated by ";"; blanks around each are dropped.
QStringList modemCommands(const QString &text);

// The serial ports offered by name: COMn is the device /dev/ttyS(n-1).
inline const QStringList kComPortNames = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7"};

}  // namespace ringwise
