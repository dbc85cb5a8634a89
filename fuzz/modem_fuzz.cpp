// SPDX-License-Identifier: GPL-3.0-or-later
// A modem's bytes, any of them, through the line parser, the mapping onto the box's
// characters and the call logger into an in-memory database. The mapping gives only the
// box's characters, and after each input the database is sound and every stored number is
// digits only (or the withheld number).

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "fuzz/mapped_device.h"
#include "intake/modem_calls.h"
#include "intake/modem_lines.h"

using namespace ringwise;

namespace {

// Each line comes this long after the one before: rings fall inside a call window, a line
// after a silence falls outside it, so both paths are taken.
constexpr qint32 kLineGapMs = 2500;
const QString kCountryCode = QStringLiteral("45");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static fuzz::SeededDatabase seeded;
    seeded.reseed();

    fuzz::MappedDevice device(seeded);
    ModemLineParser lines;
    ModemCalls calls;
    // Near the wrap of the tick count, so elapsed times cross it.
    qint32 tick = 2147480000;
    for (std::size_t i = 0; i < size; ++i) {
        const std::optional<QString> line = lines.take(char(data[i]));
        if (!line)
            continue;
        fuzz::check(line->size() <= ModemLineParser::kLongestLine, "a line over the bound");
        tick = qint32(quint32(tick) + kLineGapMs);
        device.hand(calls.HandleLine(classifyModemLine(*line, kCountryCode), tick));
    }
    if (calls.isHoldingRings())
        device.hand(calls.endCallWindow());
    seeded.checkIntegrity();
    return 0;
}
