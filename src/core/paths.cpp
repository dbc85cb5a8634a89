#include "core/paths.h"

#include <QStandardPaths>

namespace ringwise {

QString defaultSettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Ringwise/Ringwise.conf");
}

QString defaultDatabasePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Ringwise/Ringwise.db");
}

}  // namespace ringwise
