// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/peer_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>

namespace ringwise {

Peer peerOf(int fd) {
    sockaddr_storage peer = {};
    socklen_t length = sizeof peer;
    ::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &length);
    const quint16 port = peer.ss_family == AF_INET6
                             ? ntohs(reinterpret_cast<const sockaddr_in6 *>(&peer)->sin6_port)
                             : ntohs(reinterpret_cast<const sockaddr_in *>(&peer)->sin_port);
    return Peer{plainAddress(QHostAddress(reinterpret_cast<const sockaddr *>(&peer))), port};
}

QHostAddress plainAddress(const QHostAddress &address) {
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(ipv4) : address;
}

QHostAddress networkOf(const QHostAddress &address) {
    const QHostAddress plain = plainAddress(address);
    if (plain.protocol() != QAbstractSocket::IPv6Protocol)
        return plain;
    Q_IPV6ADDR bytes = plain.toIPv6Address();
    std::fill(std::begin(bytes.c) + 8, std::end(bytes.c), quint8(0));
    return QHostAddress(bytes);
}

QString networkText(const QHostAddress &network) {
    return network.protocol() == QAbstractSocket::IPv6Protocol
               ? network.toString() + QStringLiteral("/64")
               : network.toString();
}

}  // namespace ringwise
