// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ringwise {

// The two moments of a call that the device parser hands on: the number is complete,
// and one more ring. Either may throw; the parser then abandons the character.
class CallEvents {
public:
    virtual ~CallEvents() = default;

    virtual void LogCall() = 0;
    virtual void RecordRing() = 0;
};

}  // namespace ringwise
