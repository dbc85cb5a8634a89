// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/service.h"

namespace ringwise::test {

// A fixed clock and tick count, a serial retry short enough for a test to see, and no web
// page.
inline ServiceEnvironment fastEnvironment() {
    ServiceEnvironment environment;
    environment.now = [] { return QDateTime(QDate(2026, 12, 6), QTime(18, 30, 5)); };
    environment.tickCount = [] { return qint32(1000); };
    environment.serialRetryMs = 50;
    // Test programs run side by side: none takes the web page's usual port.
    environment.webPort = ServiceEnvironment::kWebOff;
    return environment;
}

// As fast, hosting on any free loopback port instead of ServerPort: test programs that run
// side by side never compete for a port.
inline ServiceEnvironment loopbackEnvironment() {
    ServiceEnvironment environment = fastEnvironment();
    environment.listenAddress = QHostAddress::LocalHost;
    environment.listenPort = 0;
    return environment;
}

}  // namespace ringwise::test
