// SPDX-License-Identifier: GPL-3.0-or-later
#include "notify/call_notification.h"

#include "call/call_line.h"
#include "call/call_record.h"

namespace ringwise {

CallNotification callNotification(const CallFields &call) {
    const QString name = trimBlanks(call[CallField::Name]);
    return {name.isEmpty() ? QStringLiteral("Unknown caller") : name,
            trimBlanks(call[CallField::Number]) + QLatin1Char('\n') + call[CallField::CallTime]};
}

}  // namespace ringwise
