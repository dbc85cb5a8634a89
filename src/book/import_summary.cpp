// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/import_summary.h"

namespace ringwise {

QString ImportSummary::text() const {
    if (!failure.isEmpty())
        return QStringLiteral("Nothing imported: %1.").arg(failure);
    QStringList lines{QStringLiteral("Added %1, updated %2, unchanged %3, refused %4.")
                          .arg(added)
                          .arg(updated)
                          .arg(unchanged)
                          .arg(refused)};
    lines << notes;
    if (dryRun)
        lines << QStringLiteral("Dry run: nothing was changed.");
    return lines.join(u'\n');
}

}  // namespace ringwise
