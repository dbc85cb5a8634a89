// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

namespace ringwise {

// Appends the value with every comma left out: answers are split at commas by the
// clients, so no value may carry one.
void appendWithoutCommas(QString &out, QStringView value);

}  // namespace ringwise
