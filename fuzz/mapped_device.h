// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

#include "call/call_record.h"
#include "fuzz/fuzz_support.h"
#include "intake/call_logger.h"
#include "intake/device_output.h"
#include "intake/device_parser.h"

namespace ringwise::fuzz {

// The parser and call logger over the seeded database, fed as a device whose lines are
// mapped onto the box's characters feeds them: only the box's characters may come, every
// announcement is a call line, and the database never refuses a call.
class MappedDevice {
public:
    explicit MappedDevice(SeededDatabase &seeded)
        : m_logger(
              seeded.database(), m_record, [] { return false; }, [](const CallFields &) {},
              [](const QString &line) {
                  check(line.startsWith(QLatin1String("CALL_:")), "an announcement not a call");
              },
              [](const QString &, const QString &) {
                  check(false, "the database refused a call");
              }),
          m_parser(m_record, m_logger, m_output,
                   [] { return QDateTime(QDate(2024, 3, 4), QTime(12, 0)); }) {}

    void hand(const QString &characters) {
        for (const QChar character : characters)
            check(QStringLiteral("ADR#").contains(character) ||
                      (character >= u'0' && character <= u'9'),
                  "a character the box never sends");
        m_parser.HandleMappedText(characters);
    }
    CallLogger &logger() { return m_logger; }
    const CallRecord &record() const { return m_record; }

private:
    CallRecord m_record;
    DeviceOutput m_output{1024};
    CallLogger m_logger;
    DeviceParser m_parser;
};

}  // namespace ringwise::fuzz
