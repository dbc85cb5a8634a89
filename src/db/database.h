// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariantList>
#include <memory>

#include "db/log_file.h"
#include "db/query.h"
#include "db/statement_cache.h"

namespace SQLite {
class Database;
}

namespace ringwise {

// The one connection to the call database. Every statement binds its values; nothing
// a caller passes in becomes SQL text. A statement outside a Transaction commits as it
// runs. Commits reach the write-ahead log at once, so a killed process loses nothing
// committed; syncLog(), or a LogSyncer given logFile(), makes them survive a power cut as well.
class Database {
public:
    enum class OpenMode { MustExist, CreateIfMissing };

    Database();
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // A statement waits at most this long for another program's lock, so no handler on the
    // event thread stalls; a write that cannot get the lock fails with SQLITE_BUSY.
    static constexpr int kBusyTimeoutMs = 50;

    // What opening may wait: at start-up no event is handled yet, so a program that holds
    // the file briefly is waited for.
    static constexpr int kOpenBusyTimeoutMs = 5000;

    // Opens the file and creates the tables and indexes it lacks. A missing file is an
    // error unless the mode allows creating it, and so is a file this user cannot write.
    // Throws DatabaseError.
    void open(const QString &path, OpenMode mode, int busyTimeoutMs = kOpenBusyTimeoutMs);
    void close();
    bool isOpen() const { return m_connection != nullptr; }
    QString path() const { return m_path; }
    // False once the file this connection has open is no longer the one at its path: it
    // was removed, or another file was moved or restored in its place.
    bool isStillAtPath() const;

    // Runs a statement that returns rows; the result stands on its first row.
    Query query(const QString &sql, const QVariantList &values = {});
    // Runs a statement that changes rows; returns how many it changed.
    int exec(const QString &sql, const QVariantList &values = {});
    // The key of the row inserted last on this connection.
    qint64 lastInsertRowId() const;
    // Flushes what has been committed to the disk. Throws DatabaseError.
    void syncLog();
    // The log, for flushing it on another thread; none for a database in memory. Throws
    // DatabaseError when not open.
    std::shared_ptr<const LogFile> logFile() const;
    // Frees the page cache's pages that no statement uses: a large answer fills the cache,
    // which would otherwise hold them while the server idles. The file system caches them too.
    void releaseMemory();

private:
    StatementHandle prepare(const QString &sql, const QVariantList &values);
    void requireOpen() const;
    SQLite::Database &connection() const;

    QString m_path;
    std::unique_ptr<SQLite::Database> m_connection;
    std::shared_ptr<const LogFile> m_logFile;
    // Shared with the handles of statements in use, so that one outliving a close() is
    // finalized rather than given back to a cache that is gone.
    std::shared_ptr<StatementCache> m_statements;
};

// The statements run while it lives form one transaction: commit() keeps them all, and
// leaving the scope without it (an exception) undoes them all.
class Transaction {
public:
    // Takes the write lock at once. Throws DatabaseError.
    explicit Transaction(Database &database);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit();

private:
    Database &m_database;
    bool m_open = true;
};

}  // namespace ringwise
