// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/sql_functions.h"

#include <SQLiteCpp/Database.h>
#include <sqlite3.h>

#include <QByteArray>
#include <cmath>

namespace ringwise {

namespace {

void intFunction(sqlite3_context *context, int, sqlite3_value **arguments) {
    sqlite3_value *value = arguments[0];
    switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER:
            sqlite3_result_int64(context, sqlite3_value_int64(value));
            return;
        case SQLITE_FLOAT:
            sqlite3_result_double(context, std::floor(sqlite3_value_double(value)));
            return;
        case SQLITE_TEXT: {
            const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
            bool ok = false;
            const double number = QByteArray(text).trimmed().toDouble(&ok);
            if (ok && std::isfinite(number))
                sqlite3_result_double(context, std::floor(number));
            else
                sqlite3_result_null(context);
            return;
        }
        default:
            sqlite3_result_null(context);
            return;
    }
}

}  // namespace

void registerSqlFunctions(SQLite::Database &connection) {
    connection.createFunction("Int", 1, true, nullptr, intFunction);
}

}  // namespace ringwise
