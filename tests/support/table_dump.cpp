// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/table_dump.h"

#include <QStringList>

#include "db/database.h"

namespace ringwise::test {

QString dumpTable(Database &database, const QString &table) {
    // Table names come from the tests themselves, never from input.
    Query rows = database.query(
        QStringLiteral("SELECT quote(ID) || '|' || quote(%1) AS line FROM %2 ORDER BY ID")
            .arg(table == QLatin1String("tblCalls")
                     ? QStringLiteral("ContactID) || '|' || quote(CallTime) || '|' || "
                                      "quote(CallRings) || '|' || quote(CallNumber")
                     : QStringLiteral("FullName) || '|' || quote(HomePhone) || '|' || "
                                      "quote(MobilePhone) || '|' || quote(BusinessPhone) || '|' "
                                      "|| quote(BusinessFax) || '|' || quote(Email) || '|' || "
                                      "quote(TotalCalls) || '|' || quote(Unrecognized"),
                 table));
    QStringList lines;
    for (; !rows.atEnd(); rows.next())
        lines << rows.field("line");
    return lines.join(QLatin1Char('\n'));
}

}  // namespace ringwise::test
