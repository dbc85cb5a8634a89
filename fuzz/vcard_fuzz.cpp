// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a vCard file: read, then imported into the seeded book (fuzz/book_checks.h).

#include <cstddef>
#include <cstdint>

#include "fuzz/book_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    ringwise::fuzz::checkReader(data, size, ringwise::readVCards, true);
    return 0;
}
