// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

namespace ringwise {

// The size of the icon a call's notification carries.
constexpr int kNotificationIconSize = 64;

// The program's icon, a ringing handset, drawn at size x size. Drawn on a QImage, so a
// program without a GUI application (the command-line client) can show it too.
QImage drawAppIcon(int size);

}  // namespace ringwise
