// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ringwise {
class Database;
}

namespace ringwise::test {

// Every row of a table, one line each in key order, values as SQL quote() writes them:
// compare two dumps to prove that a request changed nothing.
QString dumpTable(Database &database, const QString &table);

}  // namespace ringwise::test
