// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <array>
#include <list>
#include <unordered_map>

#include "call/seams.h"
#include "server/peer_address.h"

namespace ringwise {

// Wrong passwords per client network (see networkOf: an IPv4 address, an IPv6 /64): after
// kWrongPasswords of them within kWindowMs the network is blocked until kBlockMs after the
// last one; a correct login clears the network. At most `capacity` networks are
// remembered, the one heard from longest ago forgotten first, so a flood of addresses
// cannot grow memory. Times are tick counts (milliseconds, signed 32-bit, wrapping); only
// differences count.
class LoginThrottle {
public:
    static constexpr int kWrongPasswords = 5;
    static constexpr qint32 kWindowMs = 60 * 1000;
    static constexpr qint32 kBlockMs = 60 * 1000;
    static constexpr int kCapacity = 4096;

    explicit LoginThrottle(TickCount tickCount, int capacity = kCapacity);

    // Asked for each new connection before it is greeted.
    bool admits(const QHostAddress &address);
    // True when this wrong password starts a block. Wrong passwords of connections opened
    // before it only lengthen the block, but each such connection is one more guess: the
    // caller closes them when the block starts.
    bool wrongPassword(const QHostAddress &address);
    void loggedIn(const QHostAddress &address);
    int rememberedNetworks() const { return int(m_byNetwork.size()); }

private:
    struct Record {
        QHostAddress network;
        std::array<qint32, kWrongPasswords> wrongAt{};  // a ring of the latest ones
        int wrongCount = 0;                             // up to kWrongPasswords
        int newest = 0;                                 // index into wrongAt
    };
    using Records = std::list<Record>;

    bool isBlocked(const Record &record, qint32 now) const;
    bool isStale(const Record &record, qint32 now) const;
    void forget(Records::iterator record);

    TickCount m_tickCount;
    const int m_capacity;
    Records m_records;  // the network heard from most recently first
    std::unordered_map<QHostAddress, Records::iterator, AddressHash> m_byNetwork;
};

}  // namespace ringwise
