// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "db/statement_cache.h"

namespace ringwise {

// A forward-only result: positioned on its first row when it is returned.
class Query {
public:
    explicit Query(StatementHandle statement);
    Query(Query &&) noexcept;
    Query &operator=(Query &&) noexcept;
    ~Query();

    bool atEnd() const { return m_atEnd; }
    // The column's value in the current row as text; a null reads as the empty text.
    QString field(const char *column) const;
    bool isNull(const char *column) const;
    void next();

private:
    void step();

    StatementHandle m_statement;
    bool m_atEnd = true;
};

}  // namespace ringwise
