// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <optional>

namespace ringwise {

class Database;
class Query;

// The JSON the web page reads, straight from the database. Every function throws
// DatabaseError.
namespace web_queries {

inline constexpr int kCallsPerPage = 50;
inline constexpr int kContactCalls = 20;
inline constexpr int kStatsRows = 20;
inline constexpr int kStatsDays = 30;

// {"calls":[…newest first, keys below `before`],"older":<key to pass next, or null>}.
// Walks the key index down from `before`, so a page deep in the log costs what the first does.
QJsonObject callsPage(Database &database, std::optional<qint64> before);
// The call of the key as a page lists it; none when it is not stored.
std::optional<QJsonObject> call(Database &database, qint64 callId);
// A contact row (every column of tblContacts) as the page shows it.
QJsonObject contact(const Query &row);
// {"contact":…,"callsTotal":…,"lastCalls":[…]}; none for an unknown key.
std::optional<QJsonObject> contactCard(Database &database, qint64 contactId);
// {"top":[…],"unknown":[…]}: the named and the unnamed callers of the last kStatsDays days.
QJsonObject stats(Database &database, const QDateTime &now);

}  // namespace web_queries

}  // namespace ringwise
