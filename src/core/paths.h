#pragma once

#include <QString>

namespace ringwise {

// $XDG_CONFIG_HOME/Ringwise/Ringwise.conf
QString defaultSettingsPath();
// $XDG_DATA_HOME/Ringwise/Ringwise.db
QString defaultDatabasePath();

}  // namespace ringwise
