// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

namespace ringwise {

// Raises the soft limit on open descriptors to the hard one, so that as many clients as
// the system allows can connect (each holds one); returns the limit now in force.
quint64 raiseDescriptorLimit();

// A note for the device output when the limit leaves room for fewer clients than
// ServerMaxClients and, while the web page is on, its connections; empty when it does not.
QString descriptorLimitNote(quint64 limit, int maxClients, int webConnections);

}  // namespace ringwise
