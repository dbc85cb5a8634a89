// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace ringwise {

struct ImportOptions {
    bool replace = false;  // a differing name or e-mail in the file replaces the book's
    bool dryRun = false;   // everything is worked out and reported, nothing is written
};

// What an import did, or why it did nothing.
struct ImportSummary {
    int added = 0;
    int updated = 0;
    int unchanged = 0;
    int refused = 0;
    QStringList notes;  // a line for each refused contact, conflict and number left out
    QString failure;    // set when nothing was imported
    bool dryRun = false;

    // "Added 2, updated 1, unchanged 0, refused 1.", then the notes, one a line.
    QString text() const;
};

}  // namespace ringwise
