// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ringwise {

// $XDG_CONFIG_HOME/Ringwise/Ringwise.conf
QString defaultSettingsPath();
// $XDG_DATA_HOME/Ringwise/Ringwise.db
QString defaultDatabasePath();
// $XDG_STATE_HOME/Ringwise/window.conf: where the desktop window was and how it looked.
QString defaultWindowStatePath();

}  // namespace ringwise
