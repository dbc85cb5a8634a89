// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "book/import_summary.h"

namespace ringwise {

class Database;

// Imports the vCard or CSV file at path with ContactImport; a file that cannot be read is
// the summary's failure.
ImportSummary importContactFile(Database &database, const QString &countryCode, const QString &path,
                                ImportOptions options);

// Writes the book's named contacts to path, as vCard 4.0 or CSV by its name's ending
// (".vcf", ".csv"); a new file is readable by its owner only. The text says where the
// contacts went ("Contacts written to PATH."), or why they did not.
struct ExportOutcome {
    bool written = false;
    QString text;
};
ExportOutcome exportContactFile(Database &database, const QString &path);

}  // namespace ringwise
