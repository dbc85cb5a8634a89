#pragma once

#include <QHostAddress>
#include <QtGlobal>
#include <cstddef>

namespace ringwise {

// The far end of a client connection. An IPv4 client reached through an IPv6 socket is
// written as plain IPv4, so one machine is always one address.
struct Peer {
    QHostAddress address;
    quint16 port = 0;
};

Peer peerOf(int fd);
QHostAddress plainAddress(const QHostAddress &address);

// For hash maps keyed by address.
struct AddressHash {
    std::size_t operator()(const QHostAddress &address) const noexcept { return qHash(address); }
};

}  // namespace ringwise
