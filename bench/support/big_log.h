// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

namespace ringwise {
class Database;
}

namespace ringwise::bench {

// The name of exactly one contact of a filled book, for a search that finds one.
inline const QString kRareName = QStringLiteral("Zebediah Quill");

// Fills an empty book and call log. Every tenth contact is an unnamed caller with
// Unrecognized set, as call logging leaves them; the others have a name, a home number,
// some a mobile, business number and e-mail. Calls come a minute apart.
void fill(Database &db, int contacts, int calls);

// The median of 15 runs, in milliseconds.
double medianMs(const std::function<void()> &run);

}  // namespace ringwise::bench
