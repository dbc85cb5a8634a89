// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include "book/import_summary.h"

namespace ringwise {

class Database;

// Imports a vCard or CSV file's text into the book (which of the two, the text tells)
// by BookMerge's rules, in one transaction: a file that cannot be read, or a database
// that fails halfway, changes nothing. Every front end calls this with the file's bytes.
class ContactImport {
public:
    // countryCode: ServerCountryCode, as the devices' numbers are normalised with it.
    ContactImport(Database &database, QString countryCode);

    // Never throws: a failure is the summary's.
    ImportSummary run(const QByteArray &text, ImportOptions options);

private:
    Database &m_database;
    QString m_countryCode;
};

}  // namespace ringwise
