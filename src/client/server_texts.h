// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ringwise {

// What the server says on a connection before and around the login, as the client knows it.
inline const QString kGreetingStart = QStringLiteral("Welcome to Ringwise Server [");
inline const QString kPasswordAccepted = QStringLiteral("Password accepted.");
inline const QString kInvalidPassword = QStringLiteral("Invalid password.");
inline const QString kPasswordNotReceived = QStringLiteral("Password not received. Disconnecting.");

}  // namespace ringwise
