// SPDX-License-Identifier: GPL-3.0-or-later
// A router's call monitor bytes, any of them, through the line parser, the mapping onto the
// box's characters and the call logger into an in-memory database, each call's estimated
// rings written to it by its serial. The mapping gives only the box's characters and ring
// counts of at least 1, and after each input the database is sound and every stored number
// is digits only (or the withheld number).

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "fuzz/mapped_device.h"
#include "intake/modem_lines.h"
#include "intake/router_calls.h"
#include "intake/router_lines.h"

using namespace ringwise;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static fuzz::SeededDatabase seeded;
    seeded.reseed();

    fuzz::MappedDevice device(seeded);
    ModemLineParser lines(kLongestRouterLine);
    RouterCalls calls;
    for (std::size_t i = 0; i < size; ++i) {
        const std::optional<QString> text = lines.take(char(data[i]));
        if (!text)
            continue;
        fuzz::check(text->size() <= kLongestRouterLine, "a line over the bound");
        const RouterLine line = parseRouterLine(*text, QStringLiteral("45"));
        const RouterStep step = calls.HandleLine(line);
        if (!step.characters.isEmpty()) {
            device.hand(step.characters);
            calls.noteLogged(line.connectionId, device.record().serial());
        }
        if (step.ringsOf) {
            fuzz::check(step.rings >= 1, "a ring count below 1");
            device.logger().writeRings(*step.ringsOf, QString::number(step.rings));
        }
    }
    seeded.checkIntegrity();
    return 0;
}
