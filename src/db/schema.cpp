// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/schema.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <string>

namespace ringwise {

namespace {

void createPhoneIndexes(SQLite::Database &connection) {
    // Each phone index holds only the numbers contacts have: the contact made for an
    // unrecognised caller has none, so a new caller writes four index pages fewer. A lookup
    // by number can use them, since no number equals NULL. Files made before indexed the
    // empty fields too; their indexes are made again, once.
    for (const char *column : {"HomePhone", "MobilePhone", "BusinessPhone", "BusinessFax"}) {
        const std::string index = std::string("idxContacts") + column;
        SQLite::Statement old(connection,
                              "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ? "
                              "AND sql NOT LIKE '%WHERE%'");
        old.bind(1, index);
        const bool indexesEveryRow = old.executeStep();
        old.reset();
        if (indexesEveryRow)
            connection.exec("DROP INDEX " + index);
        connection.exec("CREATE INDEX IF NOT EXISTS " + index + " ON tblContacts (" + column +
                        ") WHERE " + column + " IS NOT NULL");
    }
}

}  // namespace

void createSchema(SQLite::Database &connection) {
    // AUTOINCREMENT keeps keys growing after rows are deleted: the newest call is the
    // row with the largest key. The indexes keep matching a caller fast in a big book.
    connection.exec(R"sql(
CREATE TABLE IF NOT EXISTS tblContacts (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    FullName TEXT,
    HomePhone TEXT,
    MobilePhone TEXT,
    BusinessPhone TEXT,
    BusinessFax TEXT,
    Email TEXT,
    TotalCalls INTEGER DEFAULT 0,
    Unrecognized TEXT
);
CREATE TABLE IF NOT EXISTS tblCalls (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    ContactID INTEGER,
    CallTime TEXT,
    CallRings INTEGER DEFAULT 0,
    CallNumber TEXT
);
CREATE INDEX IF NOT EXISTS idxContactsUnrecognized ON tblContacts (Unrecognized);
CREATE INDEX IF NOT EXISTS idxCallsContactID ON tblCalls (ContactID);
)sql");
    // The block list: a number, or a prefix ending in "*". A blocked call is stored in
    // tblCalls like any other and gets a row of its own in tblBlockedCalls, naming the entry
    // that blocked it. A table rather than a column of tblCalls: the call log keeps its
    // exact shape, so tools that insert calls by position or read them with "SELECT *" go
    // on working, and the counts per entry are one grouped read of a small table.
    connection.exec(R"sql(
CREATE TABLE IF NOT EXISTS tblBlocked (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Number TEXT NOT NULL UNIQUE,
    Note TEXT,
    Added TEXT
);
CREATE TABLE IF NOT EXISTS tblBlockedCalls (
    CallID INTEGER PRIMARY KEY,
    Entry TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS idxBlockedCallsEntry ON tblBlockedCalls (Entry);
)sql");
    createPhoneIndexes(connection);
    // The top list reads its first rows from this index instead of sorting the whole book.
    // The key ranks a total as the program's Int() does (numbers rounded down; text,
    // blobs and NULL last) but uses only SQLite's own functions, so any tool can still
    // insert and update contacts. Reals from 2^52 up are whole already and keep their value.
    // The top list statement repeats the expression exactly, so the planner uses the index.
    connection.exec(R"sql(
CREATE INDEX IF NOT EXISTS idxContactsTopCalls ON tblContacts (
    (CASE typeof(TotalCalls)
         WHEN 'integer' THEN TotalCalls
         WHEN 'real' THEN
             CASE WHEN abs(TotalCalls) >= 4503599627370496.0 THEN TotalCalls
                  ELSE CAST(TotalCalls AS INTEGER) - (TotalCalls < CAST(TotalCalls AS INTEGER))
             END
     END) DESC
);
)sql");
}

}  // namespace ringwise
