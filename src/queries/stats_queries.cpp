// SPDX-License-Identifier: GPL-3.0-or-later
#include "queries/stats_queries.h"

#include <QtGlobal>
#include <iterator>

#include "db/database.h"
#include "db/database_error.h"
#include "queries/field_text.h"
#include "queries/last_calls.h"
#include "queries/stats_request.h"

namespace ringwise {

namespace {

const char *const kCallColumns[] = {"FullName", "CallTime", "CallNumber"};
const char *const kContactColumns[] = {"ID",          "FullName",      "HomePhone",
                                       "MobilePhone", "BusinessPhone", "BusinessFax",
                                       "Email",       "TotalCalls",    "Unrecognized"};

struct View {
    StatsRequest::Kind kind;
    const char *statement;
    const char *const *columns;
    qsizetype columnCount;
};

// The statements are kept as the clients have always been answered, including the
// trailing blank and mixed case; they never take values. Text is ordered as a Danish
// reader expects (the collation Danish).
// The last calls come from lastCalls(), shared with the desktop's list.
const View kViews[] = {
    {StatsRequest::Kind::UnrecognizedCalls,
     "SELECT a.*, b.* "
     "FROM tblCalls A, tblContacts B "
     "Where a.ContactID = b.ID "
     "AND b.Unrecognized <> '' "
     "ORDER BY a.ID DESC ",
     kCallColumns, std::size(kCallColumns)},
    // The key is Int(TotalCalls) in SQLite's own terms, the expression of the index
    // idxContactsTopCalls; equal totals keep the order of their keys.
    {StatsRequest::Kind::TopContacts,
     "SELECT * FROM tblContacts ORDER BY "
     "(CASE typeof(TotalCalls) "
     "WHEN 'integer' THEN TotalCalls "
     "WHEN 'real' THEN "
     "CASE WHEN abs(TotalCalls) >= 4503599627370496.0 THEN TotalCalls "
     "ELSE CAST(TotalCalls AS INTEGER) - (TotalCalls < CAST(TotalCalls AS INTEGER)) "
     "END "
     "END) DESC, ID",
     kContactColumns, std::size(kContactColumns)},
    {StatsRequest::Kind::AllContacts,
     "SELECT * FROM tblContacts ORDER By Unrecognized COLLATE Danish, FullName COLLATE Danish",
     kContactColumns, std::size(kContactColumns)},
};

// Enough for a typical answer without reserving megabytes for a large limit; a longer
// answer still grows geometrically.
constexpr qsizetype kReservedRows = 256;
constexpr qsizetype kReservedCharsPerField = 16;

const View *findView(StatsRequest::Kind kind) {
    for (const View &view : kViews) {
        if (view.kind == kind)
            return &view;
    }
    return nullptr;
}

void appendField(QString &answer, const QString &value) {
    answer += u", ";
    appendWithoutCommas(answer, value);
    answer += u' ';
}

void appendRow(QString &answer, const Query &row, const View &view) {
    for (qsizetype i = 0; i < view.columnCount; ++i)
        appendField(answer, row.field(view.columns[i]));
}

void appendLastCalls(QString &answer, Database &database, int limit) {
    for (const LoggedCall &call : lastCalls(database, limit)) {
        appendField(answer, call.name);
        appendField(answer, call.time);
        appendField(answer, call.number);
    }
}

}  // namespace

StatsQueries::StatsQueries(Database &database) : m_database(database) {}

std::optional<QString> StatsQueries::HandleStatsRequest(const QString &text) {
    const StatsRequest request = parseStatsRequest(text);
    if (request.kind == StatsRequest::Kind::Malformed)
        return std::nullopt;
    const bool lastCallsView = request.kind == StatsRequest::Kind::LastCalls;
    const View *view = findView(request.kind);
    if (!view && !lastCallsView)
        return text;

    const std::optional<short> limit = request.limit;
    const qsizetype reservedRows =
        limit ? qBound(0, int(*limit), int(kReservedRows)) : kReservedRows;
    QString answer;
    const qsizetype columnCount = lastCallsView ? std::size(kCallColumns) : view->columnCount;
    answer.reserve(text.size() + 1 + reservedRows * columnCount * kReservedCharsPerField);
    answer += text;
    answer += u'#';
    try {
        if (lastCallsView) {
            appendLastCalls(answer, m_database, *limit);
        } else {
            Query rows = m_database.query(QString::fromLatin1(view->statement));
            for (int taken = 0; !rows.atEnd() && (!limit || taken < *limit); ++taken, rows.next())
                appendRow(answer, rows, *view);
        }
    } catch (const DatabaseError &) {
        return std::nullopt;
    }
    return answer;
}

}  // namespace ringwise
