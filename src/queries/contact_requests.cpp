#include "queries/contact_requests.h"

#include <QStringList>
#include <optional>

#include "db/database.h"
#include "db/database_error.h"
#include "queries/field_text.h"

namespace ringwise {

namespace {

const QString kSaveHead = QStringLiteral("CNTAC:SAVE;");
const QString kSearchHead = QStringLiteral("CNTAC:SEAR;");
const QString kErrorHead = QStringLiteral("CNTAC:ERRO;");
const QString kNoMatch = QStringLiteral("CNTAC:SEAR;None");
const QString kSelectorMark = QStringLiteral(",@");
constexpr qsizetype kSaveParts = 7;  // the ID and six values
constexpr qsizetype kFieldHeadLength = 16;

struct SearchField {
    const char *head;
    const char *condition;  // ?1 is the search term
};

// "%" and "_" in a term keep their meaning as wildcards: clients rely on them.
const SearchField kSearchFields[] = {
    {"CNTAC:SEAR;ALLF;",
     "(FullName LIKE '%' || ?1 || '%') Or (HomePhone LIKE '%' || ?1 || '%') Or "
     "(MobilePhone LIKE '%' || ?1 || '%') Or (Email LIKE '%' || ?1 || '%') Or "
     "(BusinessPhone LIKE '%' || ?1 || '%') Or (BusinessFax LIKE '%' || ?1 || '%')"},
    {"CNTAC:SEAR;NAME;", "(FullName LIKE '%' || ?1 || '%')"},
    {"CNTAC:SEAR;PHON;", "(HomePhone LIKE '%' || ?1 || '%')"},
    {"CNTAC:SEAR;MOBI;", "(MobilePhone LIKE '%' || ?1 || '%')"},
    {"CNTAC:SEAR;EMAI;", "(Email LIKE '%' || ?1 || '%')"},
    {"CNTAC:SEAR;BPHO;", "(BusinessPhone LIKE '%' || ?1 || '%')"},
    {"CNTAC:SEAR;BFAX;", "(BusinessFax LIKE '%' || ?1 || '%')"},
};

const char *const kShownColumns[] = {"FullName",      "HomePhone",   "MobilePhone", "Email",
                                     "BusinessPhone", "BusinessFax", "ID"};

const char *findCondition(QStringView head) {
    for (const SearchField &field : kSearchFields) {
        if (head == QLatin1String(field.head))
            return field.condition;
    }
    return nullptr;
}

QString shownRecord(const Query &row) {
    QString record;
    for (const char *column : kShownColumns) {
        if (column != kShownColumns[0])
            record += u',';
        appendWithoutCommas(record, row.field(column));
    }
    return record;
}

// Plain decimal digits only: anything else must never reach a statement as a key.
std::optional<qint64> contactKey(const QString &text) {
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const qint64 key = text.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(key) : std::nullopt;
}

}  // namespace

ContactRequests::ContactRequests(Database &database, SendText sendToClients)
    : m_database(database), m_sendToClients(std::move(sendToClients)) {}

void ContactRequests::HandleContactRequest(const QString &text) {
    QString answer;  // every answer has text: empty means none is due
    try {
        if (text.startsWith(kSaveHead))
            answer = save(text.mid(kSaveHead.size()));
        else if (text.startsWith(kSearchHead))
            answer = search(text);
    } catch (const DatabaseError &error) {
        answer = kErrorHead + error.description();
    }
    if (!answer.isEmpty())
        m_sendToClients(answer);
}

QString ContactRequests::save(const QString &payload) {
    const QStringList parts = payload.split(u',');
    if (parts.size() < kSaveParts)
        return kErrorHead +
               QStringLiteral("A contact is saved with an ID and six values, %1 were sent")
                   .arg(parts.size() - 1);
    const QVariantList values{parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]};

    if (parts[0] == QLatin1String("NEW")) {
        m_database.exec(
            QStringLiteral("INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, Email, "
                           "BusinessPhone, BusinessFax) VALUES(?, ?, ?, ?, ?, ?)"),
            values);
        // A client told "saved" can rely on it: the contact is on the disk first.
        m_database.syncLog();
        return QStringLiteral("CNTAC:SAVE;New record saved succesfully.");
    }

    const std::optional<qint64> key = contactKey(parts[0]);
    if (!key)
        return kErrorHead + QStringLiteral("The contact ID is not a whole number: ") + parts[0];
    m_database.exec(QStringLiteral("UPDATE tblContacts SET FullName = ?, HomePhone = ?, "
                                   "MobilePhone = ?, Email = ?, BusinessPhone = ?, "
                                   "BusinessFax = ? WHERE ID = ?"),
                    values + QVariantList{*key});
    m_database.syncLog();
    return QStringLiteral("CNTAC:SAVE;Record modified succesfully.");
}

QString ContactRequests::search(const QString &text) {
    QString request = text;
    QString selector;
    const qsizetype mark = text.indexOf(kSelectorMark);
    if (mark >= 0) {
        selector = text.mid(mark);
        const qsizetype colon = selector.indexOf(u':');
        if (colon >= 0)
            selector = selector.mid(colon + 1);
        request.truncate(mark);
    }

    const char *condition = findCondition(QStringView(request).left(kFieldHeadLength));
    if (!condition)
        return QString();
    Query rows = m_database.query(QStringLiteral("SELECT * FROM tblContacts WHERE %1 ORDER BY "
                                                 "FullName COLLATE Danish")
                                      .arg(QLatin1String(condition)),
                                  {request.mid(kFieldHeadLength)});

    QString shown;
    QString matches;
    for (; !rows.atEnd(); rows.next()) {
        const QString id = rows.field("ID");
        if (selector.isEmpty() ? shown.isEmpty() : id == selector)
            shown = shownRecord(rows);
        matches += u',';
        matches += id;
    }
    if (matches.isEmpty())
        return kNoMatch;
    return (shown.isEmpty() ? kNoMatch : kSearchHead + shown) + matches;
}

}  // namespace ringwise
