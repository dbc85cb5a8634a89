// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace SQLite {
class Database;
}

namespace ringwise {

// Registers Int(x) on the connection: the whole-number part rounded down
// (Int(2.7) = 2, Int(-2.5) = -3); text that reads as a number is converted first,
// anything else, and NULL, gives NULL.
void registerSqlFunctions(SQLite::Database &connection);

}  // namespace ringwise
