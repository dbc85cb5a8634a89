// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/contact_export.h"

#include "book/book_table.h"
#include "book/card_writer.h"

namespace ringwise {

std::optional<BookFormat> bookFormatOf(const QString &fileName) {
    const QString name = fileName.toLower();
    if (name.endsWith(u".vcf") || name.endsWith(u".vcard"))
        return BookFormat::VCard;
    if (name.endsWith(u".csv"))
        return BookFormat::Csv;
    return std::nullopt;
}

QByteArray exportContacts(Database &database, BookFormat format) {
    const std::vector<BookContact> contacts = readNamedContacts(database);
    return format == BookFormat::VCard ? writeVCards(contacts) : writeCsv(contacts);
}

}  // namespace ringwise
