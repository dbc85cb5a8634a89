// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace ringwise {

class Database;

// The request of the main window's "Fake outgoing" button.
inline constexpr char kFakeOutgoingRequest[] = "STATS:CNTS;00";

// Answers "STATS:" requests with a ready-made view of the call log or the contact book.
// The answer starts with the request itself, so a client can tell what it answers.
class StatsQueries {
public:
    explicit StatsQueries(Database &database);

    // The answer; none for a malformed request or one the database fails.
    std::optional<QString> HandleStatsRequest(const QString &text);

private:
    Database &m_database;
};

}  // namespace ringwise
