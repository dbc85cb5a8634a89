// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/result_page.h"

#include "directory/page_text.h"

namespace ringwise {

namespace {

// The directory's page for a number it does not know is still a result page: it holds the
// result table (a table of class "resultat"), only with no row marked by the arrow. An error page,
// even one served with status 200, has no such table, and taking it for "unknown" would name the
// caller "Unidentified" for good. The page's title is not enough: an error inside the result page's
// frame may keep it.
bool holdsResultTable(const QByteArray &page) {
    const QByteArray lower = page.toLower();
    for (qsizetype start = lower.indexOf("<table"); start >= 0;) {
        const qsizetype end = lower.indexOf('>', start);
        if (end < 0)
            return false;
        const QByteArray tag = lower.mid(start, end - start);
        const qsizetype classAttribute = tag.indexOf("class");
        if (classAttribute >= 0 && tag.indexOf("resultat", classAttribute) >= 0)
            return true;
        start = lower.indexOf("<table", end);
    }
    return false;
}

}  // namespace

ResultPage ResultPage::parse(const QByteArray &page) {
    // The end of the cell holding the result arrow; the name is in the cell after it.
    static const QByteArray marker = QByteArrayLiteral(
        "../img/oplysningen/ikoner/resultat-pil.gif\" width=\"15\" height=\"12\"></td>");
    // Searching the bytes finds what a search of the text would: the marker, ">" and "</td>"
    // are ASCII, which never occurs inside a UTF-8 sequence of a wider character.
    const qsizetype first = page.indexOf(marker);
    if (first < 0)
        return {holdsResultTable(page) ? Outcome::NoMarker : Outcome::ErrorPage, QString()};
    const qsizetype start = first + marker.size();
    const qsizetype second = page.indexOf(marker, start);
    const QByteArray piece = page.mid(start, second < 0 ? -1 : second - start);

    // Positions count from 1 and 0 means absent, so an absent ">" puts the start of the
    // name at the start of the piece, and an absent "</td>" gives a negative length.
    const qsizetype p = piece.indexOf('>') + 1;
    const qsizetype q = piece.indexOf("</td>") + 1;
    const qsizetype length = q - p - 1;
    if (length < 0)
        return {Outcome::Failure, QString()};
    return {Outcome::Name, decodeCharacterReferences(decodePageText(piece.mid(p, length)))};
}

}  // namespace ringwise
