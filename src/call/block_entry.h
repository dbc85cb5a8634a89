// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ringwise {

// One entry of the block list with what it has blocked so far.
struct BlockEntry {
    static constexpr int kMaxNoteLength = 200;  // the longest note

    QString number;  // a number, or a prefix ending in "*"
    QString note;
    QString added;            // when it was added, local time; empty for BlockWithheld's entry
    qint64 blockedCalls = 0;  // the calls in the log that it blocked
    QString lastBlocked;      // the time of the newest of them; empty when none
};

}  // namespace ringwise
