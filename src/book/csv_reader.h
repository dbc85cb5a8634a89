// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include "book/contact_card.h"

namespace ringwise {

// Reads the contacts of a CSV file: a header row naming the columns, then one contact a
// row. Commas, semicolons or tabs, whichever the header uses most; quoted fields with
// doubled quotes and line breaks; UTF-8 with or without a byte order mark, or else
// Windows-1252. The columns are known by the names address books and spreadsheets give
// them, in English or Danish ("Name", "First Name", "Mobile Phone", "E-mail Address",
// "Navn", "Mobil", Google's "Phone 1 - Label" and "Phone 1 - Value" pairs, whose value
// may hold several numbers joined by " ::: "). A header without a name column or a phone
// column, or a quoted field left open, fails the whole file. Pure: no file is opened.
CardFile readCsv(const QByteArray &bytes);

}  // namespace ringwise
