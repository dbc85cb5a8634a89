// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/big_log.h"

#include <QElapsedTimer>
#include <algorithm>
#include <vector>

#include "db/database.h"

namespace ringwise::bench {

namespace {

constexpr int kRepeats = 15;

}  // namespace

void fill(Database &db, int contacts, int calls) {
    // A large cache only while filling: the random keys of the call log's contact index
    // would otherwise make the fill take much longer than the queries. The requests are
    // then timed with the default cache the server runs with.
    const QString serverCache = db.query("PRAGMA cache_size").field("cache_size");
    db.exec("PRAGMA cache_size = -262144");
    db.exec("BEGIN");
    db.exec(R"sql(
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?)
INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, BusinessPhone, BusinessFax, Email,
                         TotalCalls, Unrecognized)
SELECT CASE WHEN i % 10 = 0 THEN NULL ELSE 'Family' || (i % 997) || ', Given' || i END,
       printf('%08d', (i * 7919) % 100000000),
       CASE WHEN i % 3 = 0 THEN printf('%08d', (i * 104729) % 100000000) END,
       CASE WHEN i % 5 = 0 THEN printf('%08d', (i * 15485863) % 100000000) END,
       NULL,
       CASE WHEN i % 10 <> 0 THEN 'given' || i || '@example.dk' END,
       (i * 31) % 50,
       CASE WHEN i % 10 = 0 THEN printf('%08d', (i * 7919) % 100000000) END
FROM n)sql",
            {contacts});
    db.exec("UPDATE tblContacts SET FullName = ? WHERE ID = ?", {kRareName, contacts / 2 + 1});
    db.exec(R"sql(
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?)
INSERT INTO tblCalls (ContactID, CallTime, CallRings, CallNumber)
SELECT (i * 2654435761) % ? + 1, datetime(1700000000 + i * 60, 'unixepoch'), i % 6,
       printf('%08d', (i * 7919) % 100000000)
FROM n)sql",
            {calls, contacts});
    db.exec("COMMIT");
    db.exec("PRAGMA cache_size = " + serverCache);
}

double medianMs(const std::function<void()> &run) {
    std::vector<double> times;
    for (int i = 0; i < kRepeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace ringwise::bench
