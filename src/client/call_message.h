// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include "call/call_json.h"

namespace ringwise {

// "2026-12-06 20:15:04  Karen Holm  04512345", control characters replaced (see printable).
QString callText(const ClientCall &call);
// The fields as RINGWISE_NUMBER=..., RINGWISE_NAME=..., for a program run per call.
QStringList callEnvironment(const ClientCall &call);

}  // namespace ringwise
