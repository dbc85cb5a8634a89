// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/paths.h"

#include <QDir>
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

QString defaultWindowStatePath() {
    // Qt 6.4 knows no state location; the XDG rule is short enough to follow here.
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    return (state.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/state") : state) +
           QStringLiteral("/Ringwise/window.conf");
}

}  // namespace ringwise
