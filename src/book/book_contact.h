// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>

namespace ringwise {

// The four phone fields of a contact, in the book's column order.
enum PhoneField { HomeField, MobileField, WorkField, FaxField, kPhoneFields };

// A contact as the book holds it.
struct BookContact {
    qint64 id = 0;  // 0 until it is stored
    QString name;
    std::array<QString, kPhoneFields> phones;
    QString email;
    // The number of an unrecognised caller, whose contact the server made at the first call.
    QString unrecognized;

    bool operator==(const BookContact &other) const {
        return id == other.id && name == other.name && phones == other.phones &&
               email == other.email && unrecognized == other.unrecognized;
    }
    bool operator!=(const BookContact &other) const { return !(*this == other); }
};

}  // namespace ringwise
