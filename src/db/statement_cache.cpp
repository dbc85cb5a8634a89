// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/statement_cache.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace ringwise {

void StatementReturn::operator()(SQLite::Statement *statement) const noexcept {
    std::unique_ptr<SQLite::Statement> owned(statement);
    if (!place)
        return;
    if (const auto owner = cache.lock())
        owner->giveBack(std::move(owned), *place);
}

StatementCache::StatementCache(SQLite::Database &connection) : m_connection(connection) {}

StatementCache::~StatementCache() = default;

StatementHandle StatementCache::take(const QString &sql) {
    auto found = m_places.find(sql);
    if (found == m_places.end() && m_places.size() < kMaxPlaces)
        found = m_places.try_emplace(sql).first;
    if (found == m_places.end())
        return StatementHandle(new SQLite::Statement(m_connection, sql.toStdString()));
    const StatementReturn returnHere{weak_from_this(), &found->second};
    if (found->second)
        return StatementHandle(found->second.release(), returnHere);
    return StatementHandle(new SQLite::Statement(m_connection, sql.toStdString()), returnHere);
}

void StatementCache::giveBack(std::unique_ptr<SQLite::Statement> statement,
                              std::unique_ptr<SQLite::Statement> &place) noexcept {
    if (place)
        return;  // another statement of the same text was given back first
    // The reset repeats the error of a failed step; the statement itself is fine again.
    statement->tryReset();
    try {
        statement->clearBindings();
    } catch (const SQLite::Exception &) {
        return;  // not kept: a statement that cannot be cleared is prepared anew next time
    }
    place = std::move(statement);
}

}  // namespace ringwise
