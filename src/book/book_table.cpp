// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/book_table.h"

#include "db/database.h"

namespace ringwise {

namespace {

const char *const kPhoneColumns[kPhoneFields] = {"HomePhone", "MobilePhone", "BusinessPhone",
                                                 "BusinessFax"};

std::vector<BookContact> contacts(Database &database, const QString &condition,
                                  const QString &order) {
    std::vector<BookContact> book;
    for (Query row = database.query(
             QStringLiteral("SELECT ID, FullName, HomePhone, MobilePhone, BusinessPhone, "
                            "BusinessFax, Email, Unrecognized FROM tblContacts %1 ORDER BY %2")
                 .arg(condition, order));
         !row.atEnd(); row.next()) {
        BookContact contact;
        contact.id = row.field("ID").toLongLong();
        contact.name = row.field("FullName");
        for (int field = 0; field < kPhoneFields; ++field)
            contact.phones[field] = row.field(kPhoneColumns[field]).trimmed();
        contact.email = row.field("Email");
        contact.unrecognized = row.field("Unrecognized");
        book.push_back(contact);
    }
    return book;
}

}  // namespace

std::vector<BookContact> readBook(Database &database) {
    return contacts(database, QString(), QStringLiteral("ID"));
}

std::vector<BookContact> readNamedContacts(Database &database) {
    return contacts(database, QStringLiteral("WHERE trim(ifnull(FullName, '')) <> ''"),
                    QStringLiteral("FullName COLLATE Danish, ID"));
}

}  // namespace ringwise
