// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace SQLite {
class Database;
}

namespace ringwise {

// Replaces LIKE on the connection with one that ignores case for every letter ("ø"
// matches "Ø", "é" matches "É"), not only for ASCII. "%" and "_" stay wildcards and
// "LIKE ... ESCAPE" still works.
void registerUnicodeLike(SQLite::Database &connection);

}  // namespace ringwise
