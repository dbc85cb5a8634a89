// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMap>
#include <QString>
#include <functional>
#include <memory>

#include "call/seams.h"

class QFileSystemWatcher;

namespace ringwise {

struct SettingsFileReading;

// Named texts in an INI file, section "Settings". The file holds the client password,
// so it is created with mode 0600 and kept so.
//
// The texts are read once and held in memory: a read never touches the disk. While the
// store watches its file, it reads it again whenever the file changes; a file that cannot
// be read then, or that looks written only in part, leaves the texts held as they were,
// so a password once read stays in force until the file says otherwise.
class SettingsStore {
public:
    explicit SettingsStore(const QString &filePath);
    ~SettingsStore();

    // The key's text, or the empty text when it was never written.
    QString Read(const QString &key) const;
    // Whether the key was ever written, an empty text and all.
    bool Holds(const QString &key) const;
    // Stores the text and holds it at once. False, with writeFailure() saying why, when the
    // file could not be written, holds a line that cannot be read (which a rewrite would
    // lose), or would not read back as written: such a file is left as it is.
    bool Write(const QString &key, const QString &text);
    QString writeFailure() const { return m_writeFailure; }

    QString filePath() const { return m_filePath; }

    // From now on reads the file again whenever it changes (the event loop delivers the
    // changes). report: a file that cannot be read (once, until it can be again, which is
    // said too) and a write refused because the file would not read back as written;
    // changed: the texts held have changed, by a write or by another program.
    void watch(SendText report, std::function<void()> changed);
    void stopWatching();

private:
    // Every key of the file, "Section/Key", with its text.
    using Texts = QMap<QString, QString>;

    bool replaceFile(const SettingsFileReading &current, const QString &key, const QString &text);
    bool refuseWrite(const QString &failure);
    void watchFile();
    void reread();
    void hold(const SettingsFileReading &reading);
    QString cutShort(const Texts &read) const;
    QString failureText(const QString &reason) const;

    QString m_filePath;
    Texts m_texts;
    // The file could not be read at the last attempt; the texts held are older.
    bool m_failing = false;
    QString m_failure;  // why the file could not be read when the store was made
    QString m_writeFailure;
    SendText m_report;
    std::function<void()> m_changed;
    std::unique_ptr<QFileSystemWatcher> m_watcher;
};

}  // namespace ringwise
