// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "book/book_table.h"
#include "book/card_writer.h"
#include "book/contact_import.h"
#include "book/csv_reader.h"
#include "book/vcard_reader.h"
#include "fuzz/fuzz_support.h"

namespace ringwise::fuzz {

// What the export of the named contacts reads back as: each card the contact it came from.
inline void checkReadsBack(const std::vector<BookContact> &contacts, const CardFile &file) {
    check(file.failure.isEmpty() && file.cards.size() == contacts.size(), "an export unread");
    for (std::size_t at = 0; at < contacts.size(); ++at) {
        const ContactCard &card = file.cards[at];
        BookContact read{contacts[at].id, card.name, {}, card.email, contacts[at].unrecognized};
        for (const CardPhone &phone : card.phones) {
            check(phone.kind != PhoneKind::Other, "an exported number without its field");
            read.phones[int(phone.kind)] = phone.number;
        }
        check(read == contacts[at], "an exported contact read back otherwise");
    }
}

// The file imported into the seeded book: a failed file changes nothing; the same file
// again adds and updates nothing; the export of the book reads back as the book.
inline void checkImport(SeededDatabase &seeded, const QByteArray &bytes) {
    Database &database = seeded.database();
    ContactImport import(database, QStringLiteral("45"));
    const ImportSummary first = import.run(bytes, {});
    if (first.failure.isEmpty()) {
        const ImportSummary second = import.run(bytes, {});
        check(second.failure.isEmpty() && second.added == 0 && second.updated == 0,
              "a second import changed the book");
    } else {
        check(first.added + first.updated + first.unchanged + first.refused == 0,
              "a failed import counted contacts");
    }
    const std::vector<BookContact> named = readNamedContacts(database);
    checkReadsBack(named, readVCards(writeVCards(named)));
    checkReadsBack(named, readCsv(writeCsv(named)));
    seeded.checkIntegrity();
    seeded.reseed();
}

// One input of a reader's target: a file the reader fails keeps no card, and a file the
// import reads with this reader goes through checkImport.
inline void checkReader(const std::uint8_t *data, std::size_t size,
                        CardFile (*read)(const QByteArray &), bool readsVCards) {
    static SeededDatabase seeded;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const CardFile file = read(bytes);
    check(file.failure.isEmpty() || file.cards.empty(), "a failed file kept cards");
    if (looksLikeVCard(bytes) == readsVCards)
        checkImport(seeded, bytes);
}

}  // namespace ringwise::fuzz
