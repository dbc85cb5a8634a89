// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

namespace ringwise {

// The events of a router's call monitor; anything else is only shown.
enum class RouterEvent {
    Ring,        // an incoming call rings
    Connect,     // a call is answered
    Disconnect,  // a call has ended
    Call,        // an outgoing call is dialled
    Other,
};

struct RouterLine {
    RouterEvent event = RouterEvent::Other;
    // The router's clock, read as UTC so that only differences count; invalid when unreadable.
    QDateTime time;
    int connectionId = -1;
    QString number;  // the caller's national number of a Ring; empty when withheld
    bool operator==(const RouterLine &other) const {
        return event == other.event && time == other.time && connectionId == other.connectionId &&
               number == other.number;
    }
};

// The longest line a call monitor sends is well under this; a longer one is dropped.
constexpr qsizetype kLongestRouterLine = 512;

// One line of the call monitor: "07.12.26 18:20:59;RING;0;22334455;87654321;SIP0;". Fields are
// separated by ";" (the trailing one may be missing) and blanks around each are ignored. A
// line whose event or connection id cannot be read is Other. The caller's number in the
// international form loses the home country's code, countryCode.
RouterLine parseRouterLine(const QString &line, const QString &countryCode);

}  // namespace ringwise
