// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cerrno>
#include <cstring>

namespace ringwise {

// The system's own words for an error number, as a user reads them ("Permission denied").
inline QString systemErrorText(int error = errno) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace ringwise
