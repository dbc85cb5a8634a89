// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHashFunctions>
#include <QString>
#include <memory>
#include <unordered_map>

namespace SQLite {
class Database;
class Statement;
}  // namespace SQLite

namespace ringwise {

class StatementCache;

// Where a statement goes when its work is done: back into its place in the cache, or
// finalized when it has no place or the cache is gone.
struct StatementReturn {
    std::weak_ptr<StatementCache> cache;
    std::unique_ptr<SQLite::Statement> *place = nullptr;
    void operator()(SQLite::Statement *statement) const noexcept;
};

using StatementHandle = std::unique_ptr<SQLite::Statement, StatementReturn>;

// Prepared statements kept for reuse, one place per SQL text. Parsing and planning were most
// of the cost of the short statements a call runs; the texts are fixed in the code, so the
// cache stays small.
class StatementCache : public std::enable_shared_from_this<StatementCache> {
public:
    explicit StatementCache(SQLite::Database &connection);
    ~StatementCache();
    StatementCache(const StatementCache &) = delete;
    StatementCache &operator=(const StatementCache &) = delete;

    // A statement for the text, with no row and no values bound: the one kept for it, or a
    // new one when that is in use or was never prepared. Throws SQLite::Exception.
    StatementHandle take(const QString &sql);
    // Resets the statement, so it holds no read lock, and keeps it in its place for the next
    // take() of its text, unless the place is taken again.
    void giveBack(std::unique_ptr<SQLite::Statement> statement,
                  std::unique_ptr<SQLite::Statement> &place) noexcept;

    std::size_t placeCount() const { return m_places.size(); }

    // More distinct texts than the program has means texts are being built; they are not kept.
    static constexpr std::size_t kMaxPlaces = 64;

private:
    SQLite::Database &m_connection;
    struct TextHash {
        std::size_t operator()(const QString &text) const noexcept { return qHash(text); }
    };
    // The map's elements never move, so a statement in use can hold the address of its place.
    std::unordered_map<QString, std::unique_ptr<SQLite::Statement>, TextHash> m_places;
};

}  // namespace ringwise
