#include "core/load_settings.h"

#include "core/paths.h"
#include "core/settings_store.h"

namespace ringwise {

namespace {

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

}  // namespace

bool isSerialPortName(const QString &name) {
    // A path is taken as it is, even one that does not exist yet: opening it reports what is
    // wrong and retries. Only a path that names a folder can never be a device.
    return kComPortNames.contains(name) ||
           (name.startsWith(QLatin1Char('/')) && !name.endsWith(QLatin1Char('/')));
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

ServerSettings LoadSettings(SettingsStore &store, const MessageSink &messages) {
    // The defaults go in first: QSettings rewrites a hand-edited file in its own form, which
    // may read differently, and this start must use what every later start will read.
    for (const Setting &setting : settingsTable()) {
        if (setting.writtenAtStart && store.Read(setting.key).isEmpty())
            store.Write(setting.key, setting.defaultText);
    }

    ServerSettings settings;
    settings.serverPort = readServerPort(store.Read(key::ServerPort), messages);

    const QString dbPath = store.Read(key::ServerDB);
    settings.dbPathIsDefault = dbPath.isEmpty();
    settings.dbPath = dbPath.isEmpty() ? defaultDatabasePath() : dbPath;

    settings.serialPort = readSerialPort(store.Read(key::ServerCOM), messages);
    return settings;
}

}  // namespace ringwise
