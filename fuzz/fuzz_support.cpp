// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/fuzz_support.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

#include "call/call_record.h"

namespace ringwise::fuzz {

void check(bool holds, const char *what) {
    if (holds)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

SeededDatabase::SeededDatabase() {
    // Most of a run's time went into SQLite's small allocations, each of them traced by the
    // sanitizer: a large lookaside serves them from the connection's own memory, and no
    // memory statistics means no global lock around each one.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 512, 4096);
    m_database.open(QStringLiteral(":memory:"), Database::OpenMode::CreateIfMissing);
    reseed();
}

void SeededDatabase::reseed() {
    m_database.exec(QStringLiteral("DELETE FROM tblCalls"));
    m_database.exec(QStringLiteral("DELETE FROM tblContacts"));
    m_database.exec(QStringLiteral("DELETE FROM sqlite_sequence"));
    m_database.exec(
        QStringLiteral("INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, BusinessPhone, "
                       "BusinessFax, Email, TotalCalls, Unrecognized) VALUES "
                       "('Søren Ærø', '12345678', '22334455', '', '', 'soeren@example.dk', 2, ''), "
                       "('Åse Berg', '', '', '33445566', '33445567', '', 1, NULL), "
                       "('', NULL, NULL, NULL, NULL, NULL, 1, '87654321'), "
                       "(NULL, NULL, NULL, NULL, NULL, NULL, '5', '99')"));
    m_database.exec(
        QStringLiteral("INSERT INTO tblCalls (ContactID, CallTime, CallRings, CallNumber) VALUES "
                       "(1, '2024-03-01 08:15:00', 3, '12345678'), "
                       "(1, '2024-03-02 09:00:00', 0, '22334455'), "
                       "(2, '2024-03-02 10:30:00', 5, '33445566'), "
                       "(3, '2024-03-03 11:45:00', 1, '87654321')"));
}

void SeededDatabase::checkIntegrity() {
    const Query integrity = m_database.query(QStringLiteral("PRAGMA integrity_check"));
    check(!integrity.atEnd() && integrity.field("integrity_check") == QLatin1String("ok"),
          "PRAGMA integrity_check");
    for (Query call = m_database.query(QStringLiteral("SELECT CallNumber FROM tblCalls"));
         !call.atEnd(); call.next()) {
        const QString number = call.field("CallNumber");
        if (number == kSecretNumber)
            continue;
        for (const QChar character : number)
            check(character >= u'0' && character <= u'9', "a stored call number holds a non-digit");
    }
}

}  // namespace ringwise::fuzz
