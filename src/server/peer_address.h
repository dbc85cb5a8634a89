// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>
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
// The network a client's wrong passwords count against: an IPv4 address alone, an IPv6
// address's /64 prefix (one host is commonly handed a whole /64 to pick addresses from).
QHostAddress networkOf(const QHostAddress &address);
// "10.0.0.7", or "2001:db8:1:2::/64".
QString networkText(const QHostAddress &network);

// For hash maps keyed by address.
struct AddressHash {
    std::size_t operator()(const QHostAddress &address) const noexcept { return qHash(address); }
};

}  // namespace ringwise
