// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/reset_watch.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ringwise {

void ResetWatch::watch(qintptr descriptor) {
    release();
    if (descriptor >= 0)
        m_descriptor = ::fcntl(int(descriptor), F_DUPFD_CLOEXEC, 0);
}

bool ResetWatch::endedInError() const {
    if (m_descriptor < 0)
        return false;
    // An orderly close leaves the connection waiting for this side's close; an error ends
    // it at once.
    tcp_info info{};
    socklen_t size = sizeof info;
    return ::getsockopt(m_descriptor, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 &&
           info.tcpi_state == TCP_CLOSE;
}

void ResetWatch::release() {
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
}

}  // namespace ringwise
