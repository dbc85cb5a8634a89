// A modem's bytes, any of them, through the line parser, the mapping onto the box's
// characters and the call logger into an in-memory database. The mapping gives only the
// box's characters, and after each input the database is sound and every stored number is
// digits only (or the withheld number).

#include <QDateTime>
#include <cstddef>
#include <cstdint>

#include "call/call_record.h"
#include "fuzz/fuzz_support.h"
#include "intake/call_logger.h"
#include "intake/device_output.h"
#include "intake/device_parser.h"
#include "intake/modem_calls.h"
#include "intake/modem_lines.h"

using namespace ringwise;

namespace {

// Each line comes this long after the one before: rings fall inside a call window, a line
// after a silence falls outside it, so both paths are taken.
constexpr qint32 kLineGapMs = 2500;
const QString kCountryCode = QStringLiteral("45");

bool isBoxCharacter(QChar character) {
    return QStringLiteral("ADR#").contains(character) || (character >= u'0' && character <= u'9');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static fuzz::SeededDatabase seeded;
    static const QDateTime now = QDateTime(QDate(2024, 3, 4), QTime(12, 0));
    seeded.reseed();

    CallRecord record;
    DeviceOutput output(1024);
    CallLogger logger(
        seeded.database(), record, [] { return false; }, [](const CallFields &) {},
        [](const QString &line) {
            fuzz::check(line.startsWith(QLatin1String("CALL_:")), "an announcement not a call");
        },
        [](const QString &, const QString &) {
            fuzz::check(false, "the database refused a call");
        });
    DeviceParser parser(record, logger, output, [] { return now; });
    ModemLineParser lines;
    ModemCalls calls;
    // Near the wrap of the tick count, so elapsed times cross it.
    qint32 tick = 2147480000;
    const auto hand = [&](const QString &characters) {
        for (const QChar character : characters)
            fuzz::check(isBoxCharacter(character), "a character the box never sends");
        parser.HandleMappedText(characters);
    };
    for (std::size_t i = 0; i < size; ++i) {
        const std::optional<QString> line = lines.take(char(data[i]));
        if (!line)
            continue;
        fuzz::check(line->size() <= ModemLineParser::kLongestLine, "a line over the bound");
        tick = qint32(quint32(tick) + kLineGapMs);
        hand(calls.HandleLine(classifyModemLine(*line, kCountryCode), tick));
    }
    if (calls.isHoldingRings())
        hand(calls.endCallWindow());
    seeded.checkIntegrity();
    return 0;
}
