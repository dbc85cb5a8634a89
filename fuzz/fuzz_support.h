// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "db/database.h"

namespace ringwise::fuzz {

// Stops the run with the reason when a property of the code does not hold; libFuzzer
// then keeps the input that broke it.
void check(bool holds, const char *what);

// An in-memory call database with a few contacts and calls. reseed() puts it back into
// that state, so every input starts from the same book and the checks stay cheap.
class SeededDatabase {
public:
    SeededDatabase();

    Database &database() { return m_database; }
    void reseed();
    // PRAGMA integrity_check, and every stored call number digits only (or withheld).
    void checkIntegrity();

private:
    Database m_database;
};

}  // namespace ringwise::fuzz
