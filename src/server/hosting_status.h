// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ringwise {

// The hosting labels of the "TCP/IP status" panel ("Is hosting?", "Local IP", "Local port").
struct HostingStatus {
    QString isHosting = QStringLiteral("No");
    QString localIp = QStringLiteral("Not hosting.");
    QString localPort = QStringLiteral("Not hosting.");

    bool operator==(const HostingStatus &other) const {
        return isHosting == other.isHosting && localIp == other.localIp &&
               localPort == other.localPort;
    }
};

}  // namespace ringwise
