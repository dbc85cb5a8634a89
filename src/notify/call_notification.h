// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ringwise {

class CallFields;

// What a desktop notification says about a call: the caller's name (or "Unknown caller")
// as its title, the number and the time as its body.
struct CallNotification {
    QString title;
    QString body;
};

CallNotification callNotification(const CallFields &call);

}  // namespace ringwise
