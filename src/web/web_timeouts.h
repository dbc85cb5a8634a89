// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ringwise {

// How long the web port waits on a connection before it closes it: a phone that left the
// network leaves its connections open, and idle ones would hold the per-address cap.
struct WebTimeouts {
    // From the connection or a request's first byte until the whole request is in.
    int requestMs = 10'000;
    // Between requests on a kept-alive connection.
    int idleMs = 60'000;
    // Between pings of a WebSocket; one that has not answered by the next ping is closed.
    int pingMs = 30'000;
};

}  // namespace ringwise
