// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <vector>

namespace ringwise {

class Database;

// One stored call with its contact's name, as the call log lists it.
struct LoggedCall {
    QString callId;
    QString time;
    QString number;
    QString rings;
    QString name;  // the contact's full name; empty while the caller is unnamed
};

// The newest calls first, at most `limit` of them (none for 0 or below). Read by the
// "STATS:LAST" answer and by the desktop's list of recent calls. Throws DatabaseError.
std::vector<LoggedCall> lastCalls(Database &database, int limit);

}  // namespace ringwise
