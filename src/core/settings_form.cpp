#include "core/settings_form.h"

#include "core/load_settings.h"
#include "core/paths.h"
#include "core/settings_store.h"

namespace ringwise {

namespace {

constexpr int kShortestPassword = 9;

QString orFallback(const QString &text, const QString &fallback) {
    return text.isEmpty() ? fallback : text;
}

}  // namespace

SettingsForm SettingsForm::load(const SettingsStore &store) {
    SettingsForm form;
    form.port = orFallback(store.Read(key::ServerPort), QString::number(kDefaultServerPort));
    form.autoStart = isTrue(store.Read(key::ServerAutoStart));
    // Lookups are on until a stored text says otherwise.
    const QString checkDirectory = store.Read(key::ServerCheckDGS);
    form.checkDirectory = checkDirectory.isEmpty() || isTrue(checkDirectory);
    form.database = orFallback(store.Read(key::ServerDB), defaultDatabasePath());
    form.comPort = orFallback(store.Read(key::ServerCOM), kDefaultSerialPort);
    form.password = store.Read(key::ServerPassword);
    form.startMinimized = isTrue(store.Read(key::ServerMinimized));
    form.ping = store.Read(key::ServerPing);
    return form;
}

bool SettingsForm::save(const WriteSetting &write) const {
    return write(key::ServerPort, port) && write(key::ServerDB, database) &&
           write(key::ServerCOM, comPort) && write(key::ServerPassword, password) &&
           write(key::ServerPing, ping) && write(key::ServerAutoStart, checkBoxText(autoStart)) &&
           write(key::ServerCheckDGS, checkBoxText(checkDirectory)) &&
           write(key::ServerMinimized, checkBoxText(startMinimized));
}

bool isPasswordAccepted(const QString &password) {
    return password.isEmpty() || password.size() >= kShortestPassword;
}

bool isCheckBoxKey(const QString &key) {
    return key == key::ServerAutoStart || key == key::ServerCheckDGS || key == key::ServerMinimized;
}

QString checkBoxText(bool checked) {
    return checked ? QStringLiteral("True") : QStringLiteral("False");
}

WriteSetting writerFor(SettingsStore &store) {
    return [&store](const QString &key, const QString &text) { return store.Write(key, text); };
}

}  // namespace ringwise
