// SPDX-License-Identifier: GPL-3.0-or-later
#include "queries/last_calls.h"

#include "db/database.h"

namespace ringwise {

std::vector<LoggedCall> lastCalls(Database &database, int limit) {
    std::vector<LoggedCall> calls;
    // SQLite reads a negative limit as none at all.
    if (limit <= 0)
        return calls;
    Query rows = database.query(QStringLiteral("SELECT a.ID AS CallID, a.CallTime, a.CallNumber, "
                                               "a.CallRings, b.FullName "
                                               "FROM tblCalls A, tblContacts B "
                                               "WHERE a.ContactID = b.ID "
                                               "ORDER BY a.ID DESC LIMIT ?"),
                                {limit});
    for (; !rows.atEnd(); rows.next())
        calls.push_back({rows.field("CallID"), rows.field("CallTime"), rows.field("CallNumber"),
                         rows.field("CallRings"), rows.field("FullName")});
    return calls;
}

}  // namespace ringwise
