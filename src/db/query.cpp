// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/query.h"

#include <SQLiteCpp/Column.h>
#include <SQLiteCpp/Statement.h>

#include "db/database_error.h"

namespace ringwise {

Query::Query(StatementHandle statement) : m_statement(std::move(statement)) {
    step();
}

Query::Query(Query &&) noexcept = default;
Query &Query::operator=(Query &&) noexcept = default;
Query::~Query() = default;

QString Query::field(const char *column) const {
    if (m_atEnd)
        throw DatabaseError(-1, QStringLiteral("No current row"));
    try {
        const SQLite::Column value = m_statement->getColumn(column);
        return value.isNull() ? QString() : QString::fromUtf8(value.getText());
    } catch (const SQLite::Exception &error) {
        throw DatabaseError::from(error);
    }
}

bool Query::isNull(const char *column) const {
    if (m_atEnd)
        throw DatabaseError(-1, QStringLiteral("No current row"));
    try {
        return m_statement->getColumn(column).isNull();
    } catch (const SQLite::Exception &error) {
        throw DatabaseError::from(error);
    }
}

void Query::next() {
    if (m_atEnd)
        throw DatabaseError(-1, QStringLiteral("No current row"));
    step();
}

void Query::step() {
    try {
        m_atEnd = !m_statement->executeStep();
    } catch (const SQLite::Exception &error) {
        m_atEnd = true;
        throw DatabaseError::from(error);
    }
}

}  // namespace ringwise
