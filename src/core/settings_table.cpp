// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings_table.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "call/phone_number.h"
#include "core/load_settings.h"
#include "core/paths.h"
#include "core/settings_store.h"
#include "intake/modem_device.h"
#include "intake/router_device.h"

namespace ringwise {

namespace {

constexpr int kShortestPassword = 9;
const QString kTrue = QStringLiteral("True");
const QString kFalse = QStringLiteral("False");

bool isCount(const QString &text) {
    bool ok = false;
    return text.toInt(&ok) >= 0 && ok;
}

bool isPort(const QString &text) {
    bool ok = false;
    const int port = text.toInt(&ok);
    return ok && port >= 1 && port <= 65535;
}

bool isSeconds(const QString &text) {
    bool ok = false;
    return std::isfinite(text.toDouble(&ok)) && ok;
}

bool isHost(const QString &text) {
    static const QRegularExpression hostName(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,62})(\\.[A-Za-z0-9-]{1,63})*\\.?$"));
    return !QHostAddress(text).isNull() || (text.size() <= 253 && hostName.match(text).hasMatch());
}

}  // namespace

const std::vector<Setting> &settingsTable() {
    static const std::vector<Setting> table = {
        {key::ServerPort, SettingKind::Port, QStringLiteral("6996")},
        {key::ServerAutoStart, SettingKind::Flag, kFalse},
        {key::ServerDB, SettingKind::DatabasePath, QString()},
        {key::ServerCOM, SettingKind::SerialPort, kComPortNames.first()},
        {key::ServerCheckDGS, SettingKind::Flag, kTrue, true},
        {key::ServerMinimized, SettingKind::Flag, kFalse, true},
        {key::ServerPing, SettingKind::Seconds, QStringLiteral("120"), true},
        {key::ServerPassword, SettingKind::Password, QString()},
        {key::ServerDirectoryHost, SettingKind::Text, QStringLiteral("www.degulesider.dk")},
        {key::ServerDevice, SettingKind::Device, kBoxDevice},
        {key::ServerModemBaud, SettingKind::BaudRate,
         QString::number(ModemDevice::kDefaultBaudRate)},
        {key::ServerModemInit, SettingKind::Text, QString()},
        // The home country's calling code, dropped from numbers the line sends with it.
        {key::ServerCountryCode, SettingKind::CountryCode, QStringLiteral("45")},
        // Where the router's call monitor listens, with ServerDevice=Router.
        {key::ServerRouterHost, SettingKind::Host, QStringLiteral("fritz.box")},
        {key::ServerRouterPort, SettingKind::OptionalPort,
         QString::number(RouterDevice::kDefaultPort)},
        {key::ServerListen, SettingKind::Address, QString()},
        {key::ServerMaxClients, SettingKind::Count, QStringLiteral("10000")},
        {key::ServerMaxPerAddress, SettingKind::Count, QStringLiteral("64")},
        {key::ServerTlsPort, SettingKind::OptionalPort, QString()},
        {key::ServerTlsCert, SettingKind::Text, QString()},
        {key::ServerTlsKey, SettingKind::Text, QString()},
        // A desktop notification for every call, read at each call.
        {key::DesktopNotify, SettingKind::Flag, kTrue},
        // The web page's port, on ServerListen's address; empty or 0 turns the page off (the
        // default stands only for a key never written).
        {key::ServerWebPort, SettingKind::PortOrOff, QStringLiteral("6997")},
        // Publishing calls to an MQTT broker; an empty host leaves it off.
        {key::MqttHost, SettingKind::Host, QString()},
        {key::MqttPort, SettingKind::OptionalPort, QString()},
        {key::MqttUser, SettingKind::Text, QString()},
        {key::MqttPassword, SettingKind::Secret, QString()},
        {key::MqttTls, SettingKind::Flag, kFalse},
        {key::MqttCa, SettingKind::ReadableFile, QString()},
        {key::MqttTopic, SettingKind::Topic, QStringLiteral("ringwise")},
        {key::MqttDiscovery, SettingKind::Flag, kTrue},
        // Calls whose number the line did not send are blocked as a whole.
        {key::BlockWithheld, SettingKind::Flag, kFalse},
        // How long the modem holds the line of a blocked call before it hangs up.
        {key::ServerModemHangupMs, SettingKind::Count,
         QString::number(ModemDevice::kDefaultHangupMs), false, ModemDevice::kLongestHangupMs},
    };
    return table;
}

const Setting *findSetting(const QString &key) {
    const std::vector<Setting> &table = settingsTable();
    const auto row = std::find_if(table.begin(), table.end(),
                                  [&key](const Setting &setting) { return setting.key == key; });
    return row == table.end() ? nullptr : &*row;
}

QString settingDefault(const QString &key) {
    const Setting *setting = findSetting(key);
    if (!setting)
        return QString();
    // The default database follows XDG_DATA_HOME, which may change between two reads.
    return setting->kind == SettingKind::DatabasePath ? defaultDatabasePath()
                                                      : setting->defaultText;
}

QString storedOrDefault(const SettingsStore &store, const QString &key) {
    const QString text = store.Read(key);
    return text.isEmpty() ? settingDefault(key) : text;
}

QString settingRefusal(const Setting &setting, const QString &text) {
    // The settings file keeps these texts in a form that reads back as something else, or
    // that no file name, address or password can hold.
    if (text.contains(QChar(0)))
        return QStringLiteral("%1 cannot hold a NUL byte.").arg(setting.key);
    if (!text.isValidUtf16() || text.startsWith(QChar(QChar::ByteOrderMark)))
        return QStringLiteral(
                   "%1 cannot hold a lone surrogate or start with a byte order mark: "
                   "the settings file would not read it back.")
            .arg(setting.key);
    switch (setting.kind) {
        case SettingKind::Flag:
            if (text != kTrue && text != kFalse)
                return QStringLiteral("%1 takes True or False; got \"%2\".").arg(setting.key, text);
            break;
        case SettingKind::Password:
            // An empty password means "no password"; a short one is too easy to guess.
            if (!text.isEmpty() && text.size() < kShortestPassword)
                return kPasswordTooShortText;
            // Clients send the password as Latin-1 bytes: any other character could never
            // be sent.
            if (std::any_of(text.cbegin(), text.cend(),
                            [](QChar character) { return character.unicode() > 0xff; }))
                return kPasswordNotLatin1Text;
            break;
        case SettingKind::Device:
            if (!text.isEmpty() && !kDeviceNames.contains(text))
                return QStringLiteral("%1 takes %2 or %3; got \"%4\".")
                    .arg(setting.key, kDeviceNames.mid(0, kDeviceNames.size() - 1).join(", "),
                         kDeviceNames.last(), text);
            break;
        case SettingKind::BaudRate:
            if (!text.isEmpty() && modemBaudRate(text) != text.toInt())
                return QStringLiteral("%1 takes a speed in bit/s such as 115200; got \"%2\".")
                    .arg(setting.key, text);
            break;
        case SettingKind::Address:
            if (!text.isEmpty() && QHostAddress(text).isNull())
                return QStringLiteral(
                           "%1 takes an IPv4 or IPv6 address, or nothing for every "
                           "address; got \"%2\".")
                    .arg(setting.key, text);
            break;
        case SettingKind::Count:
            if (!text.isEmpty() && !isCount(text))
                return QStringLiteral("%1 takes a whole number; got \"%2\".")
                    .arg(setting.key, text);
            if (!text.isEmpty() && text.toInt() > setting.largest)
                return QStringLiteral("%1 takes a whole number from 0 to %2; got \"%3\".")
                    .arg(setting.key, QString::number(setting.largest), text);
            break;
        case SettingKind::Port:
            if (!text.isEmpty() && !isPort(text))
                return QStringLiteral("%1 takes a port number between 1 and 65535; got \"%2\".")
                    .arg(setting.key, text);
            break;
        case SettingKind::SerialPort:
            if (!text.isEmpty() && !isSerialPortName(text))
                return QStringLiteral(
                           "%1 takes COM1 to COM7 or a device path such as /dev/ttyUSB0; "
                           "got \"%2\".")
                    .arg(setting.key, text);
            break;
        case SettingKind::Seconds:
            if (!text.isEmpty() && !isSeconds(text))
                return QStringLiteral("%1 takes a number of seconds such as 120; got \"%2\".")
                    .arg(setting.key, text);
            break;
        case SettingKind::OptionalPort:
            if (!text.isEmpty() && !isPort(text))
                return QStringLiteral(
                           "%1 takes a port number between 1 and 65535, or nothing; "
                           "got \"%2\".")
                    .arg(setting.key, text);
            break;
        case SettingKind::CountryCode:
            if (!text.isEmpty() && !isCountryCode(text))
                return QStringLiteral(
                           "%1 takes a country calling code of 1 to 3 digits such as "
                           "45; got \"%2\".")
                    .arg(setting.key, text);
            break;
        case SettingKind::Host:
            if (!text.isEmpty() && !isHost(text))
                return QStringLiteral("%1 takes an address or a host name; got \"%2\".")
                    .arg(setting.key, text);
            break;
        case SettingKind::PortOrOff:
            if (!text.isEmpty() && text != QLatin1String("0") && !isPort(text))
                return QStringLiteral(
                           "%1 takes a port number between 1 and 65535, or 0 or nothing for off; "
                           "got \"%2\".")
                    .arg(setting.key, text);
            break;
        case SettingKind::Topic:
            if (text.contains(QLatin1Char('+')) || text.contains(QLatin1Char('#')) ||
                text.startsWith(QLatin1Char('/')) || text.endsWith(QLatin1Char('/')) ||
                text.contains(QStringLiteral("//")))
                return QStringLiteral(
                           "%1 takes a topic such as ringwise or home/phone, without + or # "
                           "and without an empty level; got \"%2\".")
                    .arg(setting.key, text);
            break;
        case SettingKind::ReadableFile:
            if (!text.isEmpty() && !(QFileInfo(text).isFile() && QFileInfo(text).isReadable()))
                return QStringLiteral("%1 takes a file that can be read, or nothing; got \"%2\".")
                    .arg(setting.key, text);
            break;
        default:
            break;
    }
    return QString();
}

bool isModem(const QString &deviceText) {
    return deviceText == kModemDevice;
}

bool isRouter(const QString &deviceText) {
    return deviceText == kRouterDevice;
}

quint16 mqttPort(const QString &text, bool tls) {
    return isPort(text) ? quint16(text.toUInt()) : (tls ? 8883 : 1883);
}

quint16 routerPort(const QString &text) {
    return isPort(text) ? quint16(text.toUInt()) : RouterDevice::kDefaultPort;
}

qint32 modemBaudRate(const QString &text) {
    bool ok = false;
    const int rate = text.toInt(&ok);
    return ok && rate > 0 ? rate : ModemDevice::kDefaultBaudRate;
}

int modemHangupMs(const QString &text) {
    const Setting &row = *findSetting(key::ServerModemHangupMs);
    return !text.isEmpty() && settingRefusal(row, text).isEmpty() ? text.toInt()
                                                                  : row.defaultText.toInt();
}

QString countryCode(const QString &text) {
    return isCountryCode(text) ? text : settingDefault(key::ServerCountryCode);
}

QStringList modemCommands(const QString &text) {
    QStringList commands;
    for (const QString &command : text.split(QLatin1Char(';'))) {
        if (!command.trimmed().isEmpty())
            commands << command.trimmed();
    }
    return commands;
}

bool isTrue(const QString &text) {
    return text == kTrue;
}

QString flagText(bool set) {
    return set ? kTrue : kFalse;
}

}  // namespace ringwise
