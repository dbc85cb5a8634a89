// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <vector>

#include "book/book_contact.h"

namespace ringwise {

// The contacts as a vCard 4.0 file (UTF-8, CRLF, lines folded at 75 octets), each phone
// field a TEL of its type, in the order given. readVCards reads it back as it was.
QByteArray writeVCards(const std::vector<BookContact> &contacts);

// The contacts as a CSV file (UTF-8 with a byte order mark, so that spreadsheets read the
// letters right; commas; CRLF), with the header "Name,Home Phone,Mobile Phone,Business
// Phone,Business Fax,E-mail Address". readCsv reads it back as it was.
QByteArray writeCsv(const std::vector<BookContact> &contacts);

}  // namespace ringwise
