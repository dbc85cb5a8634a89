// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/x_display.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QRegularExpression>
#include <algorithm>
#include <cstddef>
#include <cstring>

namespace ringwise {

namespace {

// Connects to the socket path, in the file system or, with `abstract`, in Linux's abstract
// name space, where X servers listen too.
bool connects(const QByteArray &path, bool abstract) {
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    std::memcpy(address.sun_path + offset, path.constData(),
                std::min(size_t(path.size()), sizeof(address.sun_path) - offset - 1));
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + path.size());
    const bool answered =
        ::connect(socket, reinterpret_cast<const sockaddr *>(&address), length) == 0;
    ::close(socket);
    return answered;
}

}  // namespace

bool localXServerAnswers(const QString &display) {
    static const QRegularExpression localDisplay(QStringLiteral("^(unix)?:(\\d+)(\\.\\d+)?$"));
    const QRegularExpressionMatch match = localDisplay.match(display);
    if (!match.hasMatch())
        return true;
    const QByteArray path = "/tmp/.X11-unix/X" + match.captured(2).toLatin1();
    return connects(path, false) || connects(path, true);
}

}  // namespace ringwise
