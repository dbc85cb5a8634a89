// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace ringwise::bench {

// Resident memory of a running process in KiB, from /proc: all of it, and the anonymous
// part (the heap), which leaves out the pages of code and libraries brought in once.
struct ResidentMemory {
    double all = 0;
    double anonymous = 0;
};

ResidentMemory residentMemory(qint64 pid);

// The descriptors a running process holds open.
int openDescriptors(qint64 pid);

}  // namespace ringwise::bench
