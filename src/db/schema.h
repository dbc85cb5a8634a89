// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace SQLite {
class Database;
}

namespace ringwise {

// Creates the contact book, the call log and their indexes where they are missing.
void createSchema(SQLite::Database &connection);

}  // namespace ringwise
