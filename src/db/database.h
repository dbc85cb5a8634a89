#pragma once

#include <QString>
#include <QVariantList>
#include <memory>

#include "db/query.h"

namespace SQLite {
class Database;
}

namespace ringwise {

// The one connection to the call database. Every statement binds its values; nothing
// a caller passes in becomes SQL text. Each statement commits as it runs.
class Database {
public:
    enum class OpenMode { MustExist, CreateIfMissing };

    Database();
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens the file and creates the tables and indexes it lacks. A missing file is an
    // error unless the mode allows creating it. Throws DatabaseError.
    void open(const QString &path, OpenMode mode);
    void close();
    bool isOpen() const { return m_connection != nullptr; }
    QString path() const { return m_path; }

    // Runs a statement that returns rows; the result stands on its first row.
    Query query(const QString &sql, const QVariantList &values = {});
    // Runs a statement that changes rows.
    void exec(const QString &sql, const QVariantList &values = {});
    // The key of the row inserted last on this connection.
    qint64 lastInsertRowId() const;

private:
    std::unique_ptr<SQLite::Statement> prepare(const QString &sql, const QVariantList &values);
    SQLite::Database &connection() const;

    std::unique_ptr<SQLite::Database> m_connection;
    QString m_path;
};

}  // namespace ringwise
