#include "core/open_database.h"

#include <QDir>
#include <QFileInfo>

#include "core/load_settings.h"
#include "db/database.h"
#include "db/database_error.h"

namespace ringwise {

void OpenDatabase(Database &database, const ServerSettings &settings) {
    const QString path =
        settings.dbPath.isEmpty() ? QStringLiteral("Ringwise.db") : settings.dbPath;
    auto mode = Database::OpenMode::MustExist;
    if (settings.dbPathIsDefault && !settings.dbPath.isEmpty()) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        mode = Database::OpenMode::CreateIfMissing;
    }
    database.open(path, mode);
}

QString databaseErrorText(const DatabaseError &error) {
    return QStringLiteral("Error Number : %1\r\n%2").arg(error.number()).arg(error.description());
}

}  // namespace ringwise
