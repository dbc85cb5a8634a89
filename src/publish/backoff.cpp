// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/backoff.h"

#include <algorithm>

namespace ringwise {

int Backoff::next() {
    const int wait = m_nextMs;
    m_nextMs = std::min(m_nextMs * 2, kLongestMs);
    return wait;
}

}  // namespace ringwise
