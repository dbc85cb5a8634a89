// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include "book/contact_card.h"

namespace ringwise {

// Reads the contacts of a vCard file, versions 2.1, 3.0 and 4.0 alike: folded lines,
// quoted-printable values with soft line breaks, CHARSET=, groups ("item1.TEL"), TYPE=
// in any case, bare 2.1 types ("TEL;CELL:"), "tel:" URIs. The name is FN, or else N put
// together as it is spoken; the first EMAIL is the e-mail. Other properties are skipped.
// A card left open, an END:VCARD without its BEGIN, or a line that is not a property
// fails the whole file. Pure: no file is opened.
CardFile readVCards(const QByteArray &bytes);

// True when the text starts as a vCard file does ("BEGIN:VCARD", after blanks).
bool looksLikeVCard(const QByteArray &bytes);

}  // namespace ringwise
