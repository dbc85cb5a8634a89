// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/tick_count.h"

#include <QElapsedTimer>

namespace ringwise {

qint32 bootTickCount() {
    QElapsedTimer now;
    now.start();
    return static_cast<qint32>(static_cast<quint32>(now.msecsSinceReference()));
}

}  // namespace ringwise
