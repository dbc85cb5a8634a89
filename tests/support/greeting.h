// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include "core/version.h"

namespace ringwise::test {

// What the server sends every client it accepts.
inline const QByteArray kGreeting = "Welcome to Ringwise Server [" + versionText.toLatin1() + "]";

}  // namespace ringwise::test
