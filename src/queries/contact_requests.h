// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "db/query.h"
#include "queries/contact_request.h"

namespace ringwise {

class Database;

// What saving a contact did: the "CNTAC:" answer, and the contact's key once it is saved.
struct SavedContact {
    QString answer;
    std::optional<qint64> contactId;  // none: not saved, the answer says why
};

// Answers "CNTAC:" requests: "SAVE" adds or changes a contact, "SEAR" looks contacts up.
// Everything a client sends is bound as a statement value, never joined into SQL.
class ContactRequests {
public:
    explicit ContactRequests(Database &database);

    // The answer, "CNTAC:ERRO;" and a description on any failure; none for an unknown
    // request or search field.
    std::optional<QString> HandleContactRequest(const QString &text);

    // Adds (no key) or changes a contact: FullName, HomePhone, MobilePhone, Email,
    // BusinessPhone, BusinessFax. With `naming`, a contact made for an unrecognised caller
    // that now has a name becomes an ordinary contact, its number kept as the home number
    // when no phone field holds one. Throws DatabaseError.
    SavedContact save(std::optional<qint64> contactKey, const QStringList &values,
                      bool naming = false);
    // The contacts whose field (all: name, numbers or e-mail) holds the term (case ignored,
    // "%" and "_" wildcards), in Danish name order, at most `limit`. Throws DatabaseError.
    Query findContacts(const QString &term, int limit, SearchField field = SearchField::AllFields);

private:
    QString search(const ContactRequest &request);

    Database &m_database;
};

}  // namespace ringwise
