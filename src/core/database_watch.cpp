// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/database_watch.h"

#include <QFileInfo>

#include "core/private_files.h"
#include "db/database.h"
#include "db/database_error.h"
#include "intake/call_logger.h"

namespace ringwise {

DatabaseWatch::DatabaseWatch(Database &database, Report report, int retryMs, QObject *parent)
    : QObject(parent), m_database(database), m_report(std::move(report)) {
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, &DatabaseWatch::reopen);
    // Also raised by every checkpoint into the file, which leaves it where it is.
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &DatabaseWatch::check);
}

void DatabaseWatch::watch() {
    m_path = m_database.path();
    m_watcher.removePath(m_path);
    m_watcher.addPath(m_path);
}

void DatabaseWatch::check() {
    if (!m_retry.isActive() && !m_database.isStillAtPath())
        reopen();
}

void DatabaseWatch::reopen() {
    const bool replaced = QFileInfo::exists(m_path);
    try {
        // Created as private as the first one was, before SQLite creates it.
        createPrivateFile(m_path);
        // Waits no longer for a lock than any other handler does.
        m_database.open(m_path, Database::OpenMode::CreateIfMissing, Database::kBusyTimeoutMs);
    } catch (const DatabaseError &error) {
        if (!std::exchange(m_reportedFailure, true))
            m_report(CallLogger::kTitle,
                     QStringLiteral("%1 was removed or replaced and cannot be opened again: %2")
                         .arg(m_path, error.description()));
        m_retry.start();
        return;
    }
    m_retry.stop();
    m_reportedFailure = false;
    m_report(
        CallLogger::kTitle,
        replaced
            ? QStringLiteral("%1 was replaced; calls are stored in the new file.").arg(m_path)
            : QStringLiteral("%1 was removed; it is created again for the calls.").arg(m_path));
    watch();
    emit reopened();
}

}  // namespace ringwise
