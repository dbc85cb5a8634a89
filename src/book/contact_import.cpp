// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/contact_import.h"

#include "book/book_merge.h"
#include "book/book_table.h"
#include "book/csv_reader.h"
#include "book/vcard_reader.h"
#include "db/database.h"
#include "db/database_error.h"

namespace ringwise {

namespace {

QVariant nullIfEmpty(const QString &text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

// A stored contact is a named one: an unrecognised caller's contact it was made from loses
// the mark, and an empty Unrecognized is what an import has always left.
void store(Database &database, BookContact &contact) {
    QVariantList values{contact.name};
    for (const QString &phone : contact.phones)
        values << nullIfEmpty(phone);
    values << nullIfEmpty(contact.email);
    if (contact.id == 0) {
        database.exec(QStringLiteral("INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, "
                                     "BusinessPhone, BusinessFax, Email, TotalCalls, "
                                     "Unrecognized) VALUES(?, ?, ?, ?, ?, ?, 0, '')"),
                      values);
        contact.id = database.lastInsertRowId();
        return;
    }
    database.exec(QStringLiteral("UPDATE tblContacts SET FullName = ?, HomePhone = ?, "
                                 "MobilePhone = ?, BusinessPhone = ?, BusinessFax = ?, Email = ?, "
                                 "Unrecognized = '' WHERE ID = ?"),
                  values << contact.id);
}

// The calls of an unrecognised caller's contact go to the named one, with their count.
void fold(Database &database, qint64 from, qint64 into) {
    database.exec(QStringLiteral("UPDATE tblCalls SET ContactID = ? WHERE ContactID = ?"),
                  {into, from});
    database.exec(QStringLiteral("UPDATE tblContacts SET TotalCalls = "
                                 "ifnull(CAST(TotalCalls AS INTEGER), 0) + (SELECT "
                                 "ifnull(CAST(TotalCalls AS INTEGER), 0) FROM tblContacts "
                                 "WHERE ID = ?) WHERE ID = ?"),
                  {from, into});
    database.exec(QStringLiteral("DELETE FROM tblContacts WHERE ID = ?"), {from});
}

}  // namespace

ContactImport::ContactImport(Database &database, QString countryCode)
    : m_database(database), m_countryCode(std::move(countryCode)) {}

ImportSummary ContactImport::run(const QByteArray &text, ImportOptions options) {
    const CardFile file = looksLikeVCard(text) ? readVCards(text) : readCsv(text);
    if (!file.failure.isEmpty())
        return ImportSummary{0, 0, 0, 0, {}, file.failure, options.dryRun};
    try {
        Transaction transaction(m_database);
        BookMerge merge(readBook(m_database), m_countryCode, options.replace);
        for (const ContactCard &card : file.cards)
            merge.merge(card);
        ImportSummary summary = merge.summary();
        summary.dryRun = options.dryRun;
        if (options.dryRun)
            return summary;
        std::vector<BookContact> book = merge.book();
        for (const std::size_t at : merge.changed())
            store(m_database, book[at]);
        for (const auto &[from, into] : merge.folds())
            fold(m_database, book[from].id, book[into].id);
        transaction.commit();
        m_database.syncLog();
        return summary;
    } catch (const DatabaseError &error) {
        return ImportSummary{0, 0, 0, 0, {}, error.description(), options.dryRun};
    }
}

}  // namespace ringwise
