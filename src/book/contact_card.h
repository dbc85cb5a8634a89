// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <vector>

namespace ringwise {

// What a phone number is for, as the file says: the four kinds the book has a field for,
// or none of them ("voice", "pref", no type at all).
enum class PhoneKind { Home, Mobile, Work, Fax, Other };

struct CardPhone {
    PhoneKind kind = PhoneKind::Other;
    QString number;  // as the file writes it
};

// One contact as a vCard or CSV file holds it, before its numbers are normalised.
struct ContactCard {
    int line = 0;  // where it starts in the file, from 1
    QString name;
    QString email;
    std::vector<CardPhone> phones;
};

// A file's contacts, or why the file cannot be read (then no contact is taken from it).
struct CardFile {
    std::vector<ContactCard> cards;
    QString failure;  // "line 12: ..."
};

}  // namespace ringwise
