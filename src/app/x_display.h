// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ringwise {

// Whether the X server that DISPLAY names on this machine (":0", "unix:0.0") takes a
// connection: a shell started from a desktop session keeps DISPLAY after the session has
// gone, and the desktop front end would then abort in Qt's platform plugin. A display on
// another host (ssh forwarding) is taken as answering: it is not probed.
bool localXServerAnswers(const QString &display);

}  // namespace ringwise
