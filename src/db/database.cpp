// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/database.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "db/danish_collation.h"
#include "db/database_error.h"
#include "db/schema.h"
#include "db/sql_functions.h"
#include "db/unicode_like.h"

namespace ringwise {

namespace {

// SQLite opens a file it may not write read-only without a word, and then fails every
// call; a folder it may not write fails the first write of the log.
void requireWritable(SQLite::Database &connection, const QString &path) {
    // The file's name as SQLite resolved it; empty for a database in memory, which has no
    // folder (and ":memory:" would name a Qt resource).
    const QString file = QFile::decodeName(sqlite3_db_filename(connection.getHandle(), "main"));
    const QString folder = QFileInfo(file).absolutePath();
    QString problem;
    if (sqlite3_db_readonly(connection.getHandle(), "main") == 1)
        problem = QStringLiteral("the file is read-only to this user");
    else if (!file.isEmpty() && ::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        problem = QStringLiteral("its folder %1 is read-only to this user").arg(folder);
    if (!problem.isEmpty())
        throw DatabaseError(
            SQLITE_READONLY,
            QStringLiteral("The database %1 cannot be written: %2.").arg(path, problem));
}

void bindValue(SQLite::Statement &statement, int index, const QVariant &value) {
    if (value.isNull()) {
        statement.bind(index);
        return;
    }
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
            statement.bind(index, static_cast<int64_t>(value.toLongLong()));
            break;
        case QMetaType::Double:
            statement.bind(index, value.toDouble());
            break;
        default:
            statement.bind(index, value.toString().toStdString());
            break;
    }
}

// One data sync of the log through SQLite's own handle of it, where a checkpoint would also
// copy the pages into the database and sync that too.
void flushLog(SQLite::Database &connection) {
    sqlite3_file *log = nullptr;
    const int found =
        sqlite3_file_control(connection.getHandle(), "main", SQLITE_FCNTL_JOURNAL_POINTER, &log);
    if (found != SQLITE_OK || !log || !log->pMethods)
        return;  // no log written yet: nothing to flush
    const int synced = log->pMethods->xSync(log, SQLITE_SYNC_NORMAL);
    if (synced != SQLITE_OK)
        throw DatabaseError(synced, QString::fromUtf8(sqlite3_errstr(synced)));
}

// The log of a database on a disk; none for one in memory. SQLite's own first flush of a new
// log also flushes its folder, so that the log's name survives a power cut; the flushes
// through the file returned are of its data alone.
std::shared_ptr<const LogFile> openLogFile(SQLite::Database &connection) {
    const sqlite3_filename database = sqlite3_db_filename(connection.getHandle(), "main");
    if (!database || !*database)
        return nullptr;
    try {
        flushLog(connection);
    } catch (const DatabaseError &) {
        // A disk that fails this flush fails the flush after the first call too, which is
        // reported; the database itself opened fine.
    }
    return std::make_shared<const LogFile>(QFile::decodeName(sqlite3_filename_wal(database)));
}

}  // namespace

Database::Database() = default;
Database::~Database() = default;

void Database::open(const QString &path, OpenMode mode, int busyTimeoutMs) {
    close();
    // The system would open the path only as far as the NUL: another file than the one named.
    if (path.contains(QChar(0)))
        throw DatabaseError(SQLITE_CANTOPEN, QStringLiteral("The path holds a NUL byte"));
    int flags = SQLite::OPEN_READWRITE;
    if (mode == OpenMode::CreateIfMissing)
        flags |= SQLite::OPEN_CREATE;
    try {
        auto connection =
            std::make_unique<SQLite::Database>(path.toStdString(), flags, busyTimeoutMs);
        requireWritable(*connection, path);
        // The first statements read the file header, so a file that is not a database
        // or is locked fails here rather than at the first call.
        connection->exec("PRAGMA journal_mode=WAL");
        // A commit is written to the log without waiting for the disk; syncLog() flushes it
        // once the clients have been told.
        connection->exec("PRAGMA synchronous=NORMAL");
        // 16 MiB of page cache keeps the statistics views' sorts in memory.
        connection->exec("PRAGMA cache_size=-16384");
        createSchema(*connection);
        registerSqlFunctions(*connection);
        registerDanishCollation(connection->getHandle());
        registerUnicodeLike(*connection);
        connection->setBusyTimeout(kBusyTimeoutMs);
        m_logFile = openLogFile(*connection);
        m_path = path;
        m_connection = std::move(connection);
        m_statements = std::make_shared<StatementCache>(*m_connection);
    } catch (const SQLite::Exception &error) {
        throw DatabaseError::from(error);
    }
}

void Database::close() {
    // SQLite leaves the log of a file that was removed or replaced at the path, where the
    // file opened there next would take its pages: the log is emptied into its own file
    // first, or, when that cannot be done, removed with its index once the file is closed.
    bool logLeft = false;
    if (m_connection && !isStillAtPath()) {
        try {
            SQLite::Statement checkpoint(*m_connection, "PRAGMA wal_checkpoint(TRUNCATE)");
            logLeft = !checkpoint.executeStep() || checkpoint.getColumn(0).getInt() != 0;
        } catch (const SQLite::Exception &) {
            logLeft = true;
        }
    }
    // Destroying the connection closes it; SQLite finishes the WAL checkpoint itself. It
    // closes only once no statement is left.
    m_statements.reset();
    m_logFile.reset();
    m_connection.reset();
    if (logLeft) {
        QFile::remove(m_path + QStringLiteral("-wal"));
        QFile::remove(m_path + QStringLiteral("-shm"));
    }
}

Query Database::query(const QString &sql, const QVariantList &values) {
    return Query(prepare(sql, values));
}

int Database::exec(const QString &sql, const QVariantList &values) {
    auto statement = prepare(sql, values);
    try {
        return statement->exec();
    } catch (const SQLite::Exception &error) {
        throw DatabaseError::from(error);
    }
}

bool Database::isStillAtPath() const {
    int moved = 0;
    if (m_connection)
        sqlite3_file_control(m_connection->getHandle(), "main", SQLITE_FCNTL_HAS_MOVED, &moved);
    return moved == 0;
}

qint64 Database::lastInsertRowId() const {
    return connection().getLastInsertRowid();
}

void Database::syncLog() {
    flushLog(connection());
}

std::shared_ptr<const LogFile> Database::logFile() const {
    requireOpen();
    return m_logFile;
}

void Database::releaseMemory() {
    if (m_connection)
        sqlite3_db_release_memory(m_connection->getHandle());
}

StatementHandle Database::prepare(const QString &sql, const QVariantList &values) {
    requireOpen();
    try {
        StatementHandle statement = m_statements->take(sql);
        for (int i = 0; i < values.size(); ++i)
            bindValue(*statement, i + 1, values.at(i));
        return statement;
    } catch (const SQLite::Exception &error) {
        throw DatabaseError::from(error);
    }
}

Transaction::Transaction(Database &database) : m_database(database) {
    m_database.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction() {
    if (!m_open)
        return;
    try {
        m_database.exec(QStringLiteral("ROLLBACK"));
    } catch (const DatabaseError &) {
        // SQLite has already rolled back a transaction that a failure ended.
    }
}

void Transaction::commit() {
    m_database.exec(QStringLiteral("COMMIT"));
    m_open = false;
}

void Database::requireOpen() const {
    if (!m_connection)
        throw DatabaseError(SQLITE_MISUSE, QStringLiteral("The database is not open"));
}

SQLite::Database &Database::connection() const {
    requireOpen();
    return *m_connection;
}

}  // namespace ringwise
