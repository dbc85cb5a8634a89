#include "db/schema.h"

#include <SQLiteCpp/Database.h>

namespace ringwise {

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
CREATE INDEX IF NOT EXISTS idxContactsHomePhone ON tblContacts (HomePhone);
CREATE INDEX IF NOT EXISTS idxContactsMobilePhone ON tblContacts (MobilePhone);
CREATE INDEX IF NOT EXISTS idxContactsBusinessPhone ON tblContacts (BusinessPhone);
CREATE INDEX IF NOT EXISTS idxContactsBusinessFax ON tblContacts (BusinessFax);
CREATE INDEX IF NOT EXISTS idxContactsUnrecognized ON tblContacts (Unrecognized);
CREATE INDEX IF NOT EXISTS idxCallsContactID ON tblCalls (ContactID);
)sql");
}

}  // namespace ringwise
