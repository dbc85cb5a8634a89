#include "core/settings_store.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "core/private_files.h"

namespace ringwise {

namespace {

const QString kSection = QStringLiteral("Settings/");
constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

}  // namespace

SettingsStore::SettingsStore(const QString &filePath)
    : m_filePath(filePath), m_settings(filePath, QSettings::IniFormat) {}

QString SettingsStore::Read(const QString &key) const {
    // Another process (the dialog, --set) may have written the file meanwhile.
    m_settings.sync();
    const QVariant value = m_settings.value(kSection + key);
    // An unquoted comma in a hand-edited file makes QSettings read a list. Once rewritten, a
    // list with a part it has to mark as text ("@String(…)") reads as a list of variants.
    if (value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QVariantList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

bool SettingsStore::Write(const QString &key, const QString &text) {
    // QSettings would write back a file it could read only in part as far as it understood
    // it, changing values it had not read: a file with such a line is left as it is.
    m_settings.sync();
    if (m_settings.status() == QSettings::FormatError)
        return false;
    makePrivateFolder(QFileInfo(m_filePath).absolutePath());
    restrictFileMode();
    m_settings.setValue(kSection + key, text);
    m_settings.sync();
    restrictFileMode();
    return m_settings.status() == QSettings::NoError;
}

void SettingsStore::restrictFileMode() {
    // The file holds the password: even a file the user made readable to others is closed.
    if (createPrivateFile(m_filePath))
        QFile::setPermissions(m_filePath, kOwnerOnly);
}

}  // namespace ringwise
