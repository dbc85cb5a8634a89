// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include "call/seams.h"

namespace ringwise {

class Database;

// Notices the call database's file being removed or replaced while the server runs (a
// restore from a backup, an rm) and opens its path again, creating the file with its
// tables when it is gone, so that the next call lands where the user looks for it. A file
// that cannot be opened again is tried at each retry interval.
class DatabaseWatch : public QObject {
    Q_OBJECT
public:
    DatabaseWatch(Database &database, Report report, int retryMs, QObject *parent = nullptr);

    // Starts watching the file the database has open.
    void watch();

signals:
    void reopened();

private:
    void check();
    void reopen();

    Database &m_database;
    Report m_report;
    QString m_path;
    QFileSystemWatcher m_watcher;
    QTimer m_retry;
    bool m_reportedFailure = false;
};

}  // namespace ringwise
