#pragma once

#include <QHostAddress>
#include <array>
#include <list>
#include <unordered_map>

#include "call/seams.h"
#include "server/peer_address.h"

namespace ringwise {

// Wrong passwords per client address: after kWrongPasswords of them within kWindowMs, new
// connections from that address are refused until kBlockMs after the last one; a correct
// login clears the address. At most `capacity` addresses are remembered, the one heard
// from longest ago forgotten first, so a flood of addresses cannot grow memory. Times are
// tick counts (milliseconds, signed 32-bit, wrapping); only differences count.
class LoginThrottle {
public:
    static constexpr int kWrongPasswords = 5;
    static constexpr qint32 kWindowMs = 60 * 1000;
    static constexpr qint32 kBlockMs = 60 * 1000;
    static constexpr int kCapacity = 4096;

    enum class Verdict {
        Admit,
        Refuse,
        RefuseFirst,  // the first refusal of this block: the one worth reporting
    };

    explicit LoginThrottle(TickCount tickCount, int capacity = kCapacity);

    // Asked for each new connection before it is greeted.
    Verdict check(const QHostAddress &address);
    void wrongPassword(const QHostAddress &address);
    void loggedIn(const QHostAddress &address);
    int rememberedAddresses() const { return int(m_byAddress.size()); }

private:
    struct Record {
        QHostAddress address;
        std::array<qint32, kWrongPasswords> wrongAt{};  // a ring of the latest ones
        int wrongCount = 0;                             // up to kWrongPasswords
        int newest = 0;                                 // index into wrongAt
        bool reported = false;
    };
    using Records = std::list<Record>;

    bool isBlocked(const Record &record, qint32 now) const;
    bool isStale(const Record &record, qint32 now) const;
    void forget(Records::iterator record);

    TickCount m_tickCount;
    const int m_capacity;
    Records m_records;  // the address heard from most recently first
    std::unordered_map<QHostAddress, Records::iterator, AddressHash> m_byAddress;
};

}  // namespace ringwise
