#pragma once

#include <QSettings>
#include <QString>

namespace ringwise {

// The keys of the store, all in section "Settings".
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
}  // namespace key

// Only the exact text "True" counts as set; "true" does not.
inline bool isTrue(const QString &value) {
    return value == QLatin1String("True");
}

// Named texts in an INI file, section "Settings". The file holds the client password,
// so it is created with mode 0600 and kept so.
class SettingsStore {
public:
    explicit SettingsStore(const QString &filePath);

    // The key's text, or the empty text when it was never written.
    QString Read(const QString &key) const;
    // Stores the text; false when the file could not be written.
    bool Write(const QString &key, const QString &text);

    QString filePath() const { return m_filePath; }

private:
    void restrictFileMode();

    QString m_filePath;
    mutable QSettings m_settings;
};

}  // namespace ringwise
