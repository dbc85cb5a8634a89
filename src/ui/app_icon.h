// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace ringwise {

// The program's icon, for the main window and the tray: a ringing handset.
QIcon appIcon();

}  // namespace ringwise
