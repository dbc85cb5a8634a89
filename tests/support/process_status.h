// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace ringwise::test {

// The processor time a running process has used, user and system, in seconds.
double cpuSeconds(qint64 pid);

}  // namespace ringwise::test
