// SPDX-License-Identifier: GPL-3.0-or-later
#include "queries/contact_requests.h"

#include "db/database.h"
#include "db/database_error.h"
#include "queries/contact_request.h"
#include "queries/field_text.h"

namespace ringwise {

namespace {

const QString kSearchHead = QStringLiteral("CNTAC:SEAR;");
const QString kErrorHead = QStringLiteral("CNTAC:ERRO;");
const QString kNoMatch = QStringLiteral("CNTAC:SEAR;None");

struct FieldCondition {
    SearchField field;
    const char *condition;  // ?1 is the search term
};

// "%" and "_" in a term keep their meaning as wildcards: clients rely on them.
const FieldCondition kConditions[] = {
    {SearchField::AllFields,
     "(FullName LIKE '%' || ?1 || '%') Or (HomePhone LIKE '%' || ?1 || '%') Or "
     "(MobilePhone LIKE '%' || ?1 || '%') Or (Email LIKE '%' || ?1 || '%') Or "
     "(BusinessPhone LIKE '%' || ?1 || '%') Or (BusinessFax LIKE '%' || ?1 || '%')"},
    {SearchField::FullName, "(FullName LIKE '%' || ?1 || '%')"},
    {SearchField::HomePhone, "(HomePhone LIKE '%' || ?1 || '%')"},
    {SearchField::MobilePhone, "(MobilePhone LIKE '%' || ?1 || '%')"},
    {SearchField::Email, "(Email LIKE '%' || ?1 || '%')"},
    {SearchField::BusinessPhone, "(BusinessPhone LIKE '%' || ?1 || '%')"},
    {SearchField::BusinessFax, "(BusinessFax LIKE '%' || ?1 || '%')"},
};

// Every field has its row above.
const char *condition(SearchField field) {
    const FieldCondition *row = kConditions;
    while (row->field != field)
        ++row;
    return row->condition;
}

const char *const kShownColumns[] = {"FullName",      "HomePhone",   "MobilePhone", "Email",
                                     "BusinessPhone", "BusinessFax", "ID"};

QString shownRecord(const Query &row) {
    QString record;
    for (const char *column : kShownColumns) {
        if (column != kShownColumns[0])
            record += u',';
        appendWithoutCommas(record, row.field(column));
    }
    return record;
}

}  // namespace

ContactRequests::ContactRequests(Database &database) : m_database(database) {}

std::optional<QString> ContactRequests::HandleContactRequest(const QString &text) {
    const ContactRequest request = parseContactRequest(text);
    try {
        switch (request.kind) {
            case ContactRequest::Kind::Ignored:
                return std::nullopt;
            case ContactRequest::Kind::Malformed:
                return kErrorHead + request.problem;
            case ContactRequest::Kind::Save:
                return save(request.contactKey, request.values).answer;
            case ContactRequest::Kind::Search:
                return search(request);
        }
    } catch (const DatabaseError &error) {
        return kErrorHead + error.description();
    }
    return std::nullopt;
}

SavedContact ContactRequests::save(std::optional<qint64> contactKey, const QStringList &values,
                                   bool naming) {
    // The book would keep a NUL whole, but every answer would end the value there; a line
    // break would start a forged line of its own in what clients are sent.
    for (const QString &value : values) {
        for (const QChar character : value) {
            if (character.unicode() >= 0x20)
                continue;
            return {kErrorHead +
                        (character.isNull()
                             ? QStringLiteral("A contact value cannot hold a NUL character")
                             : QStringLiteral("A contact value cannot hold a control character")),
                    std::nullopt};
        }
    }
    QVariantList bound;
    for (const QString &value : values)
        bound << value;

    if (!contactKey) {
        m_database.exec(
            QStringLiteral("INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, Email, "
                           "BusinessPhone, BusinessFax) VALUES(?, ?, ?, ?, ?, ?)"),
            bound);
        const qint64 added = m_database.lastInsertRowId();
        // A client told "saved" can rely on it: the contact is on the disk first.
        m_database.syncLog();
        return {QStringLiteral("CNTAC:SAVE;New record saved succesfully."), added};
    }

    Transaction transaction(m_database);
    const int changed =
        m_database.exec(QStringLiteral("UPDATE tblContacts SET FullName = ?, HomePhone = ?, "
                                       "MobilePhone = ?, Email = ?, BusinessPhone = ?, "
                                       "BusinessFax = ? WHERE ID = ?"),
                        bound + QVariantList{*contactKey});
    if (changed == 0)
        return {kErrorHead + QStringLiteral("No contact has the ID %1").arg(*contactKey),
                std::nullopt};
    if (naming)
        m_database.exec(
            QStringLiteral(
                "UPDATE tblContacts SET HomePhone = CASE WHEN ifnull(HomePhone, '') || "
                "ifnull(MobilePhone, '') || ifnull(BusinessPhone, '') || ifnull(BusinessFax, "
                "'') = '' THEN Unrecognized ELSE HomePhone END, Unrecognized = '' "
                "WHERE ID = ? AND ifnull(Unrecognized, '') <> '' AND "
                "trim(ifnull(FullName, '')) <> ''"),
            {*contactKey});
    transaction.commit();
    m_database.syncLog();
    return {QStringLiteral("CNTAC:SAVE;Record modified succesfully."), contactKey};
}

Query ContactRequests::findContacts(const QString &term, int limit, SearchField field) {
    return m_database.query(QStringLiteral("SELECT * FROM tblContacts WHERE %1 ORDER BY "
                                           "FullName COLLATE Danish LIMIT ?2")
                                .arg(QLatin1String(condition(field))),
                            {term, limit});
}

QString ContactRequests::search(const ContactRequest &request) {
    // A negative limit is none.
    Query rows = findContacts(request.term, -1, request.field);

    QString shown;
    QString matches;
    for (; !rows.atEnd(); rows.next()) {
        const QString id = rows.field("ID");
        if (request.selector.isEmpty() ? shown.isEmpty() : id == request.selector)
            shown = shownRecord(rows);
        matches += u',';
        matches += id;
    }
    if (matches.isEmpty())
        return kNoMatch;
    return (shown.isEmpty() ? kNoMatch : kSearchHead + shown) + matches;
}

}  // namespace ringwise
