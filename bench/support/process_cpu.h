// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace ringwise::bench {

// The time a running process has spent on a CPU, in nanoseconds: the sum over all its
// threads, from the scheduler's own counters in /proc (finer than utime and stime).
qint64 cpuTimeNs(qint64 pid);

}  // namespace ringwise::bench
