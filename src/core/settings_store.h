#pragma once

#include <QSettings>
#include <QString>

namespace ringwise {

// Named texts in an INI file, section "Settings". The file holds the client password,
// so it is created with mode 0600 and kept so.
class SettingsStore {
public:
    explicit SettingsStore(const QString &filePath);

    // The key's text, or the empty text when it was never written.
    QString Read(const QString &key) const;
    // Stores the text; false when the file could not be written, or holds a line that
    // cannot be read, which a rewrite would lose.
    bool Write(const QString &key, const QString &text);

    QString filePath() const { return m_filePath; }

private:
    void restrictFileMode();

    QString m_filePath;
    mutable QSettings m_settings;
};

}  // namespace ringwise
