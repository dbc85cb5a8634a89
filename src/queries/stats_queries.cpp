#include "queries/stats_queries.h"

#include <QtGlobal>
#include <iterator>

#include "db/database.h"
#include "db/database_error.h"
#include "queries/field_text.h"

namespace ringwise {

namespace {

const char *const kCallColumns[] = {"FullName", "CallTime", "CallNumber"};
const char *const kContactColumns[] = {"ID",          "FullName",      "HomePhone",
                                       "MobilePhone", "BusinessPhone", "BusinessFax",
                                       "Email",       "TotalCalls",    "Unrecognized"};

struct View {
    const char *name;
    const char *statement;
    bool limited;  // reads the row limit after the ";"
    const char *const *columns;
    qsizetype columnCount;
};

// The statements are kept as the clients have always been answered, including the
// trailing blank and mixed case; they never take values. Text is ordered as a Danish
// reader expects (the collation Danish).
const View kViews[] = {
    {"LAST",
     "SELECT a.*, b.* "
     "FROM tblCalls A, tblContacts B "
     "WHERE a.ContactID = b.ID "
     "ORDER BY a.ID DESC",
     true, kCallColumns, std::size(kCallColumns)},
    {"UNKN",
     "SELECT a.*, b.* "
     "FROM tblCalls A, tblContacts B "
     "Where a.ContactID = b.ID "
     "AND b.Unrecognized <> '' "
     "ORDER BY a.ID DESC ",
     true, kCallColumns, std::size(kCallColumns)},
    // The key is Int(TotalCalls) in SQLite's own terms, the expression of the index
    // idxContactsTopCalls; equal totals keep the order of their keys.
    {"TOPS",
     "SELECT * FROM tblContacts ORDER BY "
     "(CASE typeof(TotalCalls) "
     "WHEN 'integer' THEN TotalCalls "
     "WHEN 'real' THEN "
     "CASE WHEN abs(TotalCalls) >= 4503599627370496.0 THEN TotalCalls "
     "ELSE CAST(TotalCalls AS INTEGER) - (TotalCalls < CAST(TotalCalls AS INTEGER)) "
     "END "
     "END) DESC, ID",
     true, kContactColumns, std::size(kContactColumns)},
    {"CNTS",
     "SELECT * FROM tblContacts ORDER By Unrecognized COLLATE Danish, FullName COLLATE Danish",
     false, kContactColumns, std::size(kContactColumns)},
};

// Enough for a typical answer without reserving megabytes for a large limit; a longer
// answer still grows geometrically.
constexpr qsizetype kReservedRows = 256;
constexpr qsizetype kReservedCharsPerField = 16;

const View *findView(QStringView name) {
    for (const View &view : kViews) {
        if (name == QLatin1String(view.name))
            return &view;
    }
    return nullptr;
}

void appendRow(QString &answer, const Query &row, const View &view) {
    for (qsizetype i = 0; i < view.columnCount; ++i) {
        answer += u", ";
        appendWithoutCommas(answer, row.field(view.columns[i]));
        answer += u' ';
    }
}

}  // namespace

StatsQueries::StatsQueries(Database &database, SendText sendToClients)
    : m_database(database), m_sendToClients(std::move(sendToClients)) {}

void StatsQueries::HandleStatsRequest(const QString &text) {
    const qsizetype colon = text.indexOf(u':');
    const qsizetype semicolon = text.indexOf(u';');
    if (semicolon < 0 || semicolon - colon - 1 < 0)
        return;
    const View *view = findView(QStringView(text).mid(colon + 1, semicolon - colon - 1));
    if (!view) {
        m_sendToClients(text);
        return;
    }

    short limit = 0;
    if (view->limited) {
        bool ok = false;
        limit = QStringView(text).mid(semicolon + 1).toShort(&ok, 10);
        if (!ok)
            return;
    }

    const qsizetype reservedRows =
        view->limited ? qBound(0, int(limit), int(kReservedRows)) : kReservedRows;
    QString answer;
    answer.reserve(text.size() + 1 + reservedRows * view->columnCount * kReservedCharsPerField);
    answer += text;
    answer += u'#';
    try {
        Query rows = m_database.query(QString::fromLatin1(view->statement));
        for (int taken = 0; !rows.atEnd() && (!view->limited || taken < limit);
             ++taken, rows.next())
            appendRow(answer, rows, *view);
    } catch (const DatabaseError &) {
        return;
    }
    m_sendToClients(answer);
}

}  // namespace ringwise
