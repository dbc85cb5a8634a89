// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/database_error.h"

#include <SQLiteCpp/Exception.h>

namespace ringwise {

DatabaseError::DatabaseError(int number, const QString &description)
    : std::runtime_error(description.toStdString()), m_number(number), m_description(description) {}

DatabaseError DatabaseError::from(const SQLite::Exception &error) {
    // SQLiteCpp reports its own misuse (an unknown column name) with code -1.
    const int code = error.getExtendedErrorCode();
    return DatabaseError(code, QString::fromUtf8(error.what()));
}

}  // namespace ringwise
