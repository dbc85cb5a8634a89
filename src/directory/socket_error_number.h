// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractSocket>

namespace ringwise {

// The system's error number (errno) for a kind of socket error, as the user is shown it:
// 111 for a refused connection, 104 for a reset, 110 for a time-out. A name that does not
// resolve has no errno of its own; it is shown as EHOSTUNREACH (113), the number for a
// host that cannot be reached.
int socketErrorNumber(QAbstractSocket::SocketError error);

}  // namespace ringwise
