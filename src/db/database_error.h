// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <stdexcept>

namespace SQLite {
class Exception;
}

namespace ringwise {

// A failed open, close or statement: the SQLite extended result code and its message.
class DatabaseError : public std::runtime_error {
public:
    DatabaseError(int number, const QString &description);
    static DatabaseError from(const SQLite::Exception &error);

    int number() const { return m_number; }
    QString description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};

}  // namespace ringwise
