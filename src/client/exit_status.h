// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ringwise {

// How ringwise-client ends; scripts and the user unit tell the cases apart by it.
enum ExitStatus : int {
    kExitDone = 0,
    kExitUnreachable = 1,  // also: no greeting, or no answer to the login in time
    kExitUsage = 2,
    kExitRefused = 3,  // wrong or missing password: trying again would not help
};

}  // namespace ringwise
