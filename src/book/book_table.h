// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "book/book_contact.h"

namespace ringwise {

class Database;

// All contacts of the book, by key. Throws DatabaseError.
std::vector<BookContact> readBook(Database &database);

// The contacts that have a name, in the Danish order of their names. Throws DatabaseError.
std::vector<BookContact> readNamedContacts(Database &database);

}  // namespace ringwise
