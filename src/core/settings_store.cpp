// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings_store.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLockFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryFile>
#include <atomic>
#include <cerrno>

#include "call/system_error.h"
#include "core/private_files.h"
#include "core/settings_table.h"

namespace ringwise {

// One reading of a settings file.
struct SettingsFileReading {
    QByteArray bytes;
    QMap<QString, QString> texts;
    // Why the texts cannot be taken as the file's; empty when they can.
    QString failure;
    bool missing = false;  // there is no file
    bool parsed = false;   // its bytes were read, if only in part
};

namespace {

const QString kSection = QStringLiteral("Settings/");
const QString kPasswordKey = kSection + key::ServerPassword;
// Another program writing the file holds its lock for a moment only.
constexpr int kLockWaitMs = 5000;

QString textOf(const QVariant &value) {
    // An unquoted comma in a hand-edited file makes QSettings read a list. Once rewritten, a
    // list with a part it has to mark as text ("@String(…)") reads as a list of variants.
    if (value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QVariantList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

// What QSettings reads from the bytes, as the next start of the program would. QSettings
// keeps what it has read of each file name for the whole process and reads a file again
// only when its size or time has changed, which a rewrite within one clock tick may keep:
// the bytes go into a file in memory whose time no other file of this process has had
// (hence one count for the whole process, as QSettings' memory is).
void parse(SettingsFileReading &reading) {
    static std::atomic<qint64> parses{0};
    const int descriptor = ::memfd_create("ringwise-settings", MFD_CLOEXEC);
    QFile memory;
    if (descriptor < 0 ||
        !memory.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        reading.failure = systemErrorText();
        if (descriptor >= 0)
            ::close(descriptor);
        return;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, {++parses, 0}};
    if (memory.write(reading.bytes) != reading.bytes.size() || !memory.flush() ||
        ::futimens(descriptor, times) != 0) {
        reading.failure = systemErrorText();
        return;
    }
    const QSettings settings(QStringLiteral("/proc/self/fd/%1").arg(descriptor),
                             QSettings::IniFormat);
    for (const QString &key : settings.allKeys())
        reading.texts.insert(key, textOf(settings.value(key)));
    reading.parsed = true;
    if (settings.status() == QSettings::FormatError)
        reading.failure = QStringLiteral("it holds a line that cannot be read");
    else if (settings.status() != QSettings::NoError)
        reading.failure = QStringLiteral("its copy in /proc/self/fd cannot be read");
}

SettingsFileReading readSettingsFile(const QString &path) {
    SettingsFileReading reading;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reading.missing = !file.exists();
        reading.failure = file.errorString();
        return reading;
    }
    reading.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        reading.failure = file.errorString();
    else
        parse(reading);
    return reading;
}

// The keys whose texts differ, by their names within the section.
QStringList differentKeys(const QMap<QString, QString> &one, const QMap<QString, QString> &other) {
    QStringList keys;
    for (const QString &key : one.keys() + other.keys()) {
        const auto mine = one.constFind(key);
        const auto theirs = other.constFind(key);
        const QString name = key.startsWith(kSection) ? key.mid(kSection.size()) : key;
        if ((mine == one.cend() || theirs == other.cend() || *mine != *theirs) &&
            !keys.contains(name))
            keys << name;
    }
    return keys;
}

// A root --set on the service user's file leaves the file that user's, who must read it.
// Only root may give a file away; anyone else writes the file as its owner already.
bool giveOwner(const QString &of, const QString &to) {
    struct stat info = {};
    return ::stat(QFile::encodeName(of).constData(), &info) == 0 &&
           ::chown(QFile::encodeName(to).constData(), info.st_uid, info.st_gid) == 0;
}

}  // namespace

SettingsStore::SettingsStore(const QString &filePath) : m_filePath(filePath) {
    const SettingsFileReading reading = readSettingsFile(m_filePath);
    // Whatever could be read counts, even from a file with a line that cannot be read.
    m_texts = reading.texts;
    m_failing = !reading.parsed && !reading.missing;
    m_failure = reading.failure;
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::Read(const QString &key) const {
    return m_texts.value(kSection + key);
}

bool SettingsStore::Holds(const QString &key) const {
    return m_texts.contains(kSection + key);
}

bool SettingsStore::Write(const QString &key, const QString &text) {
    makePrivateFolder(QFileInfo(m_filePath).absolutePath());
    // The lock QSettings takes for this file: one writer at a time.
    QLockFile lock(m_filePath + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs))
        return refuseWrite(QStringLiteral("%1 cannot be locked for writing.").arg(m_filePath));
    const SettingsFileReading current = readSettingsFile(m_filePath);
    if (!current.parsed && !current.missing)
        return refuseWrite(
            QStringLiteral("%1 cannot be read (%2).").arg(m_filePath, current.failure));
    // QSettings would write back a file it could read only in part as far as it understood
    // it, changing values it had not read.
    if (current.parsed && !current.failure.isEmpty())
        return refuseWrite(
            QStringLiteral("%1 holds a line that cannot be read; it is left as it is.")
                .arg(m_filePath));
    return replaceFile(current, key, text);
}

bool SettingsStore::replaceFile(const SettingsFileReading &current, const QString &key,
                                const QString &text) {
    const QFileInfo info(m_filePath);
    const QString target = info.isSymLink() ? info.symLinkTarget() : m_filePath;
    // The new file is written beside the old one, read back, and only then takes its place.
    // It is made with mode 0600, which QSettings keeps when it writes it: even a file the
    // user made readable to others is closed.
    QTemporaryFile next(target + QStringLiteral(".XXXXXX"));
    if (!next.open() || next.write(current.bytes) != current.bytes.size() || !next.flush())
        return refuseWrite(
            QStringLiteral("%1 cannot be written (%2).").arg(m_filePath, next.errorString()));
    // A file removed meanwhile is written again whole, from the texts held.
    Texts expected = current.missing ? m_texts : current.texts;
    expected.insert(kSection + key, text);
    {
        QSettings writer(next.fileName(), QSettings::IniFormat);
        if (current.missing) {
            for (auto i = m_texts.cbegin(); i != m_texts.cend(); ++i)
                writer.setValue(i.key(), i.value());
        }
        writer.setValue(kSection + key, text);
        writer.sync();
        if (writer.status() != QSettings::NoError)
            return refuseWrite(QStringLiteral("%1 cannot be written.").arg(m_filePath));
    }
    const SettingsFileReading written = readSettingsFile(next.fileName());
    if (!written.failure.isEmpty() || written.texts != expected) {
        const QString what =
            written.failure.isEmpty()
                ? differentKeys(expected, written.texts).join(QStringLiteral(", ")) +
                      QStringLiteral(" would change")
                : written.failure;
        const QString failure =
            QStringLiteral("%1 would not read back as written (%2); it is left as it is.")
                .arg(m_filePath, what);
        if (m_report && failure != m_writeFailure)
            m_report(failure);
        return refuseWrite(failure);
    }
    giveOwner(target, next.fileName());
    if (::rename(QFile::encodeName(next.fileName()).constData(),
                 QFile::encodeName(target).constData()) != 0)
        return refuseWrite(
            QStringLiteral("%1 cannot be written (%2).").arg(m_filePath, systemErrorText()));
    m_writeFailure.clear();
    if (m_watcher)
        watchFile();
    hold(written);
    return true;
}

bool SettingsStore::refuseWrite(const QString &failure) {
    m_writeFailure = failure;
    return false;
}

void SettingsStore::watch(SendText report, std::function<void()> changed) {
    m_report = std::move(report);
    m_changed = std::move(changed);
    m_watcher = std::make_unique<QFileSystemWatcher>();
    QObject::connect(m_watcher.get(), &QFileSystemWatcher::fileChanged, m_watcher.get(),
                     [this] { reread(); });
    QObject::connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, m_watcher.get(),
                     [this] { reread(); });
    watchFile();
    if (m_failing)
        m_report(failureText(m_failure));
}

void SettingsStore::stopWatching() {
    m_watcher.reset();
    m_report = nullptr;
    m_changed = nullptr;
}

void SettingsStore::watchFile() {
    // Editors and writers replace the file by a rename, which leaves a watch on the old
    // file: the watch moves to the file now there, and the folder tells of one that comes
    // back after a removal.
    m_watcher->removePath(m_filePath);
    // A watch needs leave to read; the folder's tells when the file can be read again.
    if (QFileInfo(m_filePath).isReadable())
        m_watcher->addPath(m_filePath);
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!m_watcher->directories().contains(folder))
        m_watcher->addPath(folder);
}

void SettingsStore::reread() {
    watchFile();
    hold(readSettingsFile(m_filePath));
}

void SettingsStore::hold(const SettingsFileReading &reading) {
    const QString failure = reading.failure.isEmpty() ? cutShort(reading.texts) : reading.failure;
    if (!failure.isEmpty()) {
        // Nothing was read, so nothing is lost: a file that was never there stays away.
        if (reading.missing && m_texts.isEmpty())
            return;
        if (!m_failing && m_report)
            m_report(failureText(failure));
        m_failing = true;
        return;
    }
    if (m_failing && m_report)
        m_report(
            QStringLiteral("%1 can be read again; its settings are in force.").arg(m_filePath));
    m_failing = false;
    if (reading.texts == m_texts)
        return;
    m_texts = reading.texts;
    if (m_changed)
        m_changed();
}

QString SettingsStore::cutShort(const Texts &read) const {
    // A file written in place is empty for a moment, then holds a part of its lines. The
    // password is turned off by a line that says so, never by a line that is missing.
    if (read.isEmpty() && !m_texts.isEmpty())
        return QStringLiteral("it looks written only in part: it holds no settings");
    if (!m_texts.value(kPasswordKey).isEmpty() && !read.contains(kPasswordKey))
        return QStringLiteral("it looks written only in part: it has no ServerPassword line");
    return QString();
}

QString SettingsStore::failureText(const QString &reason) const {
    return QStringLiteral("%1 cannot be read (%2); %3 stay in force.")
        .arg(m_filePath, reason,
             m_texts.isEmpty() ? QStringLiteral("the defaults")
                               : QStringLiteral("the settings read before"));
}

}  // namespace ringwise
