// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct sqlite3;

namespace ringwise {

// Registers the collation "Danish" on the connection: text in the order a Danish reader
// expects, case ignored for every letter, Æ, Ø and Å after Z (ICU's Danish rules).
// Only statements use it; the schema never does, so other tools can still write the file.
void registerDanishCollation(sqlite3 *handle);

}  // namespace ringwise
