#pragma once

#include <QString>
#include <functional>

#include "call/seams.h"

namespace ringwise {

class Database;

// The request of the main window's "Fake outgoing" button.
inline constexpr char kFakeOutgoingRequest[] = "STATS:CNTS;00";

// Answers "STATS:" requests with a ready-made view of the call log or the contact book.
// The answer starts with the request itself, so every client can tell what it answers.
class StatsQueries {
public:
    StatsQueries(Database &database, SendText sendToClients);

    // A malformed request, or one the database fails, gets no answer at all.
    void HandleStatsRequest(const QString &text);

private:
    Database &m_database;
    SendText m_sendToClients;
};

}  // namespace ringwise
