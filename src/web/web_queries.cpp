// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/web_queries.h"

#include <QJsonArray>

#include "call/time_format.h"
#include "db/database.h"

namespace ringwise::web_queries {

namespace {

// A call with its contact's name and marks; a call whose contact is gone still shows.
const QString kCallColumns = QStringLiteral(
    "SELECT a.ID, a.CallTime, a.CallNumber, a.CallRings, a.ContactID, b.FullName, "
    "b.Unrecognized FROM tblCalls a LEFT JOIN tblContacts b ON b.ID = a.ContactID ");

// A contact made for an unrecognised caller keeps the number in Unrecognized; a name on it
// came from the directory.
bool unrecognized(const Query &row) {
    return !row.field("Unrecognized").isEmpty();
}

QJsonObject callJson(const Query &row) {
    const QString name = row.field("FullName").trimmed();
    return {{"id", row.field("ID").toLongLong()},
            {"time", row.field("CallTime")},
            {"number", row.field("CallNumber")},
            {"name", name},
            {"contactId", row.field("ContactID").toLongLong()},
            {"rings", row.field("CallRings").toInt()},
            {"named", unrecognized(row) && !name.isEmpty()},
            {"unrecognized", unrecognized(row)}};
}

QJsonArray callsOf(Query rows, int limit, qint64 *older = nullptr) {
    QJsonArray calls;
    for (; !rows.atEnd(); rows.next()) {
        if (calls.size() == limit) {
            if (older)
                *older = calls.last().toObject().value("id").toInteger();
            break;
        }
        calls.append(callJson(rows));
    }
    return calls;
}

// The key of the first call at or after the time. Keys grow with time, so halving the key
// range finds it in a few lookups, and a period is read from there on rather than from the
// whole log (a call stamped out of order by a clock set back may fall outside).
qint64 firstCallSince(Database &database, const QString &time) {
    const Query bounds =
        database.query(QStringLiteral("SELECT min(ID) AS First, max(ID) AS Last FROM tblCalls"));
    qint64 low = bounds.field("First").toLongLong();
    qint64 high = bounds.field("Last").toLongLong() + 1;
    while (low < high) {
        const qint64 middle = low + (high - low) / 2;
        // The first key from the middle on: keys of deleted calls are gaps.
        const Query call = database.query(
            QStringLiteral("SELECT ID, CallTime FROM tblCalls WHERE ID >= ? ORDER BY ID LIMIT 1"),
            {middle});
        if (call.atEnd() || call.field("CallTime") >= time)
            high = middle;
        else
            low = call.field("ID").toLongLong() + 1;
    }
    return low;
}

// NOT INDEXED keeps the period's key range the way into the calls: grouping by contact
// through the contact index would visit every call of the log.
QJsonArray statsRows(Database &database, const QString &cutoff, qint64 firstCall, const char *which,
                     bool named) {
    Query rows = database.query(
        QStringLiteral("SELECT a.ContactID, b.FullName, a.CallNumber, count(*) AS Calls, "
                       "max(a.CallTime) AS Last FROM tblCalls a NOT INDEXED JOIN tblContacts b ON "
                       "b.ID = a.ContactID WHERE a.ID >= ? AND a.CallTime >= ? AND %1 "
                       "GROUP BY a.ContactID ORDER BY Calls DESC, Last DESC LIMIT ?")
            .arg(QLatin1String(which)),
        {firstCall, cutoff, kStatsRows});
    QJsonArray result;
    for (; !rows.atEnd(); rows.next()) {
        QJsonObject row{{"contactId", rows.field("ContactID").toLongLong()},
                        {"number", rows.field("CallNumber")},
                        {"calls", rows.field("Calls").toInt()}};
        if (named)
            row.insert("name", rows.field("FullName").trimmed());
        else
            row.insert("last", rows.field("Last"));
        result.append(row);
    }
    return result;
}

}  // namespace

QJsonObject callsPage(Database &database, std::optional<qint64> before) {
    // One row past the page tells whether an older page exists.
    Query rows = before
                     ? database.query(kCallColumns + QStringLiteral("WHERE a.ID < ? ORDER BY a.ID "
                                                                    "DESC LIMIT ?"),
                                      {*before, kCallsPerPage + 1})
                     : database.query(kCallColumns + QStringLiteral("ORDER BY a.ID DESC LIMIT ?"),
                                      {kCallsPerPage + 1});
    qint64 older = 0;
    const QJsonArray calls = callsOf(std::move(rows), kCallsPerPage, &older);
    return {{"calls", calls}, {"older", older != 0 ? QJsonValue(older) : QJsonValue()}};
}

std::optional<QJsonObject> call(Database &database, qint64 callId) {
    const Query row = database.query(kCallColumns + QStringLiteral("WHERE a.ID = ?"), {callId});
    if (row.atEnd())
        return std::nullopt;
    return callJson(row);
}

QJsonObject contact(const Query &row) {
    return {{"id", row.field("ID").toLongLong()}, {"name", row.field("FullName")},
            {"home", row.field("HomePhone")},     {"mobile", row.field("MobilePhone")},
            {"email", row.field("Email")},        {"work", row.field("BusinessPhone")},
            {"fax", row.field("BusinessFax")},    {"unrecognized", unrecognized(row)},
            {"number", row.field("Unrecognized")}};
}

std::optional<QJsonObject> contactCard(Database &database, qint64 contactId) {
    const Query row =
        database.query(QStringLiteral("SELECT * FROM tblContacts WHERE ID = ?"), {contactId});
    if (row.atEnd())
        return std::nullopt;
    const QJsonObject shown = contact(row);
    const Query total = database.query(
        QStringLiteral("SELECT count(*) AS Total FROM tblCalls WHERE ContactID = ?"), {contactId});
    return QJsonObject{
        {"contact", shown},
        {"callsTotal", total.field("Total").toLongLong()},
        {"lastCalls",
         callsOf(database.query(kCallColumns + QStringLiteral("WHERE a.ContactID = ? ORDER BY "
                                                              "a.ID DESC LIMIT ?"),
                                {contactId, kContactCalls}),
                 kContactCalls)}};
}

QJsonObject stats(Database &database, const QDateTime &now) {
    // Call times are local time in a form that sorts as text.
    const QString cutoff = now.addDays(-kStatsDays).toString(kTimeFormat);
    const qint64 firstCall = firstCallSince(database, cutoff);
    const char *named = "trim(ifnull(b.FullName, '')) <> ''";
    const char *unnamed = "trim(ifnull(b.FullName, '')) = ''";
    return {{"top", statsRows(database, cutoff, firstCall, named, true)},
            {"unknown", statsRows(database, cutoff, firstCall, unnamed, false)}};
}

}  // namespace ringwise::web_queries
