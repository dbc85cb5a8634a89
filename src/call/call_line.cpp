// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/call_line.h"

#include "call/call_record.h"

namespace ringwise {

QString trimBlanks(const QString &text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

QString callLine(const CallFields &fields, const QString &nameSuffix) {
    QString line = kCallLinePrefix;
    line += trimBlanks(fields[CallField::Number]);
    line += QLatin1Char(',') + trimBlanks(fields[CallField::Name]) + nameSuffix;
    for (CallField field : {CallField::HomePhone, CallField::MobilePhone, CallField::WorkPhone,
                            CallField::WorkFax, CallField::Email})
        line += QLatin1Char(',') + trimBlanks(fields[field]);
    return line;
}

}  // namespace ringwise
