// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/open_database.h"

#include <QFileInfo>

#include "core/load_settings.h"
#include "core/private_files.h"
#include "db/database.h"
#include "db/database_error.h"

namespace ringwise {

void OpenDatabase(Database &database, const ServerSettings &settings) {
    const QString path =
        settings.dbPath.isEmpty() ? QStringLiteral("Ringwise.db") : settings.dbPath;
    auto mode = Database::OpenMode::MustExist;
    if (settings.dbPathIsDefault && !settings.dbPath.isEmpty()) {
        // A failure here shows as SQLite's own error when it opens the file.
        if (makePrivateFolder(QFileInfo(path).absolutePath()))
            createPrivateFile(path);
        mode = Database::OpenMode::CreateIfMissing;
    }
    database.open(path, mode);
}

QString databaseErrorText(const DatabaseError &error) {
    return QStringLiteral("Error Number : %1\r\n%2").arg(error.number()).arg(error.description());
}

}  // namespace ringwise
