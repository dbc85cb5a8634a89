// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace ringwise {

// Milliseconds since boot from the monotonic clock, as a signed 32-bit value: negative
// after about 24.9 days of uptime, back to zero after about 49.7.
qint32 bootTickCount();

}  // namespace ringwise
