// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/load_settings.h"

#include "core/paths.h"
#include "core/settings_store.h"
#include "server/client_table.h"

namespace ringwise {

namespace {

// Slot numbers are 16-bit: no more clients than that at once.
constexpr int kMaxClientsLimit = ClientTable::kMaxSlots;

quint16 readServerPort(const QString &text, const MessageSink &messages) {
    const quint16 defaultPort = settingDefault(key::ServerPort).toUShort();
    if (text.isEmpty())
        return defaultPort;
    bool ok = false;
    const int port = text.toInt(&ok);
    if (ok && port >= 1 && port <= 65535)
        return static_cast<quint16>(port);
    if (messages)
        messages(MessageIcon::Warning, kSettingsTitle,
                 QStringLiteral("ServerPort \"%1\" is not a port number between 1 and 65535; "
                                "listening on %2 instead.")
                     .arg(text, QString::number(defaultPort)));
    return defaultPort;
}

QString readSerialPort(const QString &text, const MessageSink &messages) {
    const QString defaultPort = settingDefault(key::ServerCOM);
    if (text.isEmpty() || isSerialPortName(text))
        return text.isEmpty() ? defaultPort : text;
    // Replaced for this run only; the stored value stays as it is.
    if (messages)
        messages(MessageIcon::Warning, kSettingsTitle,
                 QStringLiteral("ServerCOM \"%1\" is not a serial port (COM1 to COM7 or a device "
                                "path); using %2 instead.")
                     .arg(text, defaultPort));
    return defaultPort;
}

QHostAddress readListenAddress(const QString &text, const MessageSink &messages) {
    if (text.isEmpty())
        return QHostAddress(QHostAddress::AnyIPv4);
    const QHostAddress address(text);
    if (address.isNull() && messages)
        messages(MessageIcon::Warning, kSettingsTitle,
                 QStringLiteral("ServerListen \"%1\" is not an IPv4 or IPv6 address.").arg(text));
    return address;
}

// A count of at least `least` and at most `most`, or the key's default.
int readCount(const SettingsStore &store, const QString &key, int least, int most,
              const MessageSink &messages) {
    const QString text = store.Read(key);
    const int defaultCount = settingDefault(key).toInt();
    if (text.isEmpty())
        return defaultCount;
    bool ok = false;
    const int count = text.toInt(&ok);
    if (ok && count >= least && count <= most)
        return count;
    if (messages)
        messages(MessageIcon::Warning, kSettingsTitle,
                 QStringLiteral("%1 \"%2\" is not a whole number between %3 and %4; using %5 "
                                "instead.")
                     .arg(key, text, QString::number(least), QString::number(most),
                          QString::number(defaultCount)));
    return defaultCount;
}

quint16 readTlsPort(const QString &text, const MessageSink &messages) {
    bool ok = false;
    const int port = text.toInt(&ok);
    if (text.isEmpty() || (ok && port >= 1 && port <= 65535))
        return quint16(port);
    if (messages)
        messages(MessageIcon::Warning, kSettingsTitle,
                 QStringLiteral("ServerTlsPort \"%1\" is not a port number between 1 and "
                                "65535; TLS is off.")
                     .arg(text));
    return 0;
}

quint16 readWebPort(const SettingsStore &store, const MessageSink &messages) {
    // A key never written is the usual port; written empty, as 0 too, it turns the page off.
    if (!store.Holds(key::ServerWebPort))
        return settingDefault(key::ServerWebPort).toUShort();
    const QString text = store.Read(key::ServerWebPort);
    if (settingRefusal(*findSetting(key::ServerWebPort), text).isEmpty())
        return quint16(text.toUInt());
    if (messages)
        messages(MessageIcon::Warning, kSettingsTitle,
                 QStringLiteral("ServerWebPort \"%1\" is not a port number between 1 and "
                                "65535; the web page is off.")
                     .arg(text));
    return 0;
}

}  // namespace

bool isSerialPortName(const QString &name) {
    // A path is taken as it is, even one that does not exist yet: opening it reports what is
    // wrong and retries. Only a path that names a folder can never be a device, nor one with
    // a NUL byte, which the system would open only as far as the NUL.
    return kComPortNames.contains(name) ||
           (name.startsWith(QLatin1Char('/')) && !name.endsWith(QLatin1Char('/')) &&
            !name.contains(QChar(0)));
}

QString serialDevicePath(const QString &name) {
    if (name.startsWith(QLatin1String("COM")))
        return QStringLiteral("/dev/ttyS%1").arg(name.mid(3).toInt() - 1);
    return name;
}

QString serialPortText(const QString &name) {
    const QString devicePath = serialDevicePath(name);
    return devicePath == name ? name : QStringLiteral("%1 (%2)").arg(name, devicePath);
}

void readDatabasePath(const SettingsStore &store, ServerSettings &settings) {
    const QString dbPath = store.Read(key::ServerDB);
    settings.dbPathIsDefault = dbPath.isEmpty();
    settings.dbPath = dbPath.isEmpty() ? defaultDatabasePath() : dbPath;
}

ServerSettings LoadSettings(SettingsStore &store, const MessageSink &messages) {
    // The defaults go in first, so this start reads what every later start will. A file the
    // rewrite would change otherwise is left as it is (the store refuses the write).
    for (const Setting &setting : settingsTable()) {
        if (setting.writtenAtStart && store.Read(setting.key).isEmpty())
            store.Write(setting.key, setting.defaultText);
    }

    ServerSettings settings;
    settings.serverPort = readServerPort(store.Read(key::ServerPort), messages);

    readDatabasePath(store, settings);

    settings.serialPort = readSerialPort(store.Read(key::ServerCOM), messages);
    settings.listenAddress = readListenAddress(store.Read(key::ServerListen), messages);
    settings.maxClients = readCount(store, key::ServerMaxClients, 1, kMaxClientsLimit, messages);
    settings.maxPerAddress =
        readCount(store, key::ServerMaxPerAddress, 0, kMaxClientsLimit, messages);
    settings.tlsPort = readTlsPort(store.Read(key::ServerTlsPort), messages);
    settings.tlsCertPath = store.Read(key::ServerTlsCert);
    settings.tlsKeyPath = store.Read(key::ServerTlsKey);
    settings.webPort = readWebPort(store, messages);
    return settings;
}

}  // namespace ringwise
