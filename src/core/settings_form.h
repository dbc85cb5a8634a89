#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "core/load_settings.h"

namespace ringwise {

class SettingsStore;

inline const QString kPasswordTooShortText =
    QStringLiteral("Your password must be more than 8 characters long.");
inline const QString kNotSavedText = QStringLiteral("The changes could not be saved.");
// The entries of the serial-port selectors.
inline const QStringList kComPortNames = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7"};

// Stores one key's text; false when the store refused it.
using WriteSetting = std::function<bool(const QString &key, const QString &text)>;

// The eight values the settings dialog edits, as its controls hold them.
struct SettingsForm {
    QString port;
    bool autoStart = false;
    bool checkDirectory = true;
    QString database;
    QString comPort;
    QString password;
    bool startMinimized = false;
    QString ping;

    // The stored texts; a missing or empty key shows the dialog's fallback.
    static SettingsForm load(const SettingsStore &store);
    // Writes every key, texts unchanged, in the dialog's order and stops at the first
    // refused write: the keys before it keep their new values, the others their old ones.
    bool save(const WriteSetting &write) const;
};

// An empty password means "no password"; a short one is too easy to guess.
bool isPasswordAccepted(const QString &password);
// The keys that a check box edits, stored as "True" or "False".
bool isCheckBoxKey(const QString &key);
QString checkBoxText(bool checked);
// The store's Write as a WriteSetting.
WriteSetting writerFor(SettingsStore &store);

}  // namespace ringwise
