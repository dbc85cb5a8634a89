// SPDX-License-Identifier: GPL-3.0-or-later
#include "queries/field_text.h"

namespace ringwise {

void appendWithoutCommas(QString &out, QStringView value) {
    qsizetype from = 0;
    for (qsizetype comma = value.indexOf(u','); comma >= 0;
         from = comma + 1, comma = value.indexOf(u',', from))
        out += value.mid(from, comma - from);
    out += value.mid(from);
}

}  // namespace ringwise
