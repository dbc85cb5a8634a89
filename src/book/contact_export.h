// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace ringwise {

class Database;

enum class BookFormat { VCard, Csv };

// The format a file name asks for: ".vcf" or ".vcard" vCard, ".csv" CSV, in any case.
std::optional<BookFormat> bookFormatOf(const QString &fileName);

// The book's named contacts, in Danish order, as ContactImport reads them back unchanged.
// Throws DatabaseError.
QByteArray exportContacts(Database &database, BookFormat format);

}  // namespace ringwise
