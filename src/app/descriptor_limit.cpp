// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/descriptor_limit.h"

#include <sys/resource.h>

namespace ringwise {

namespace {

// What the server holds besides its clients: standard streams, the database and its log,
// the listening ports, the event loop's own, the device, lookups under way.
constexpr quint64 kOwnDescriptors = 32;

}  // namespace

quint64 raiseDescriptorLimit() {
    rlimit limit = {};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < limit.rlim_max) {
        const rlimit raised = {limit.rlim_max, limit.rlim_max};
        // Refused (an unlimited hard limit is more than the kernel takes), the old one holds.
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur;
}

QString descriptorLimitNote(quint64 limit, int maxClients, int webConnections) {
    const quint64 clients = limit > kOwnDescriptors ? limit - kOwnDescriptors : 0;
    if (clients >= quint64(maxClients) + quint64(webConnections))
        return {};
    if (webConnections > 0)
        return QStringLiteral(
                   "The limit of %1 open descriptors leaves room for about %2 clients and web "
                   "page connections together, fewer than ServerMaxClients (%3) and the web "
                   "page's %4.")
            .arg(limit)
            .arg(clients)
            .arg(maxClients)
            .arg(webConnections);
    return QStringLiteral(
               "The limit of %1 open descriptors leaves room for about %2 clients, "
               "fewer than ServerMaxClients (%3).")
        .arg(limit)
        .arg(clients)
        .arg(maxClients);
}

}  // namespace ringwise
