// SPDX-License-Identifier: GPL-3.0-or-later
// The device's characters, any bytes, through the parser and the call logger into an
// in-memory database. After each input the database is sound and every stored number is
// digits only (or the withheld number).

#include <QDateTime>
#include <cstddef>
#include <cstdint>

#include "call/call_record.h"
#include "fuzz/fuzz_support.h"
#include "intake/call_logger.h"
#include "intake/device_output.h"
#include "intake/device_parser.h"

using namespace ringwise;

namespace {

// The call logger, noting whether the input reached the database at all. Most inputs never
// do; the book is put back and checked only after one that did.
class TouchingEvents : public CallEvents {
public:
    explicit TouchingEvents(CallEvents &events) : m_events(events) {}

    void LogCall() override {
        touched = true;
        m_events.LogCall();
    }
    void RecordRing() override {
        touched = true;
        m_events.RecordRing();
    }

    bool touched = false;

private:
    CallEvents &m_events;
};

bool g_bookChanged = false;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static fuzz::SeededDatabase seeded;
    static const QDateTime now = QDateTime(QDate(2024, 3, 4), QTime(12, 0));
    if (g_bookChanged)
        seeded.reseed();

    CallRecord record;
    DeviceOutput output(1024);
    CallLogger logger(
        seeded.database(), record, [] { return true; },
        [](const CallFields &call) {
            fuzz::check(!call[CallField::ContactId].isEmpty(), "a lookup without a contact");
        },
        [](const QString &line) {
            fuzz::check(line.startsWith(QLatin1String("CALL_:")), "an announcement not a call");
        },
        [](const QString &, const QString &) {
            fuzz::check(false, "the database refused a call");
        });
    TouchingEvents events(logger);
    DeviceParser parser(record, events, output, [] { return now; });
    // The serial port hands each byte on as one Latin-1 character.
    for (std::size_t i = 0; i < size; ++i)
        parser.HandleDeviceText(QChar(data[i]));

    g_bookChanged = events.touched;
    if (g_bookChanged)
        seeded.checkIntegrity();
    return 0;
}
