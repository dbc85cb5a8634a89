// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ringwise {

class Database;
class DatabaseError;
struct ServerSettings;

// Opens the call database at dbPath. Only the default location is created when it is
// missing (with its folder): a mistyped ServerDB must not start an empty call log.
// Throws DatabaseError.
void OpenDatabase(Database &database, const ServerSettings &settings);

// The fatal message of a database that cannot be opened or closed.
inline const QString kDatabaseErrorTitle = QStringLiteral("SQLite");
QString databaseErrorText(const DatabaseError &error);

}  // namespace ringwise
