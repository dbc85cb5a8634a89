#include "core/settings_table.h"

#include <algorithm>

#include "core/paths.h"
#include "core/settings_store.h"

namespace ringwise {

namespace {

constexpr int kShortestPassword = 9;
const QString kTrue = QStringLiteral("True");
const QString kFalse = QStringLiteral("False");

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
        // A desktop notification for every call, read at each call.
        {key::DesktopNotify, SettingKind::Flag, kTrue},
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
    switch (setting.kind) {
        case SettingKind::Flag:
            if (text != kTrue && text != kFalse)
                return QStringLiteral("%1 takes True or False; got \"%2\".").arg(setting.key, text);
            break;
        case SettingKind::Password:
            // An empty password means "no password"; a short one is too easy to guess.
            if (!text.isEmpty() && text.size() < kShortestPassword)
                return kPasswordTooShortText;
            break;
        default:
            break;
    }
    return QString();
}

bool isTrue(const QString &text) {
    return text == kTrue;
}

QString flagText(bool set) {
    return set ? kTrue : kFalse;
}

}  // namespace ringwise
