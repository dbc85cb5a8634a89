#include "directory/result_page.h"

#include <QList>

#include "directory/page_text.h"

namespace ringwise {

ResultPage ResultPage::parse(const QByteArray &page) {
    // The end of the cell holding the result arrow; the name is in the cell after it.
    static const QByteArray marker = QByteArrayLiteral(
        "../img/oplysningen/ikoner/resultat-pil.gif\" width=\"15\" height=\"12\"></td>");
    // Searching the bytes finds what a search of the text would: the marker, ">" and "</td>"
    // are ASCII, which never occurs inside a UTF-8 sequence of a wider character.
    const qsizetype first = page.indexOf(marker);
    if (first < 0)
        return {Outcome::NoMarker, QString()};
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

namespace ringwise {

bool answerIsComplete(const QByteArray &answer) {
    qsizetype pageStart = 0;
    QByteArray head;
    if (answer.startsWith("HTTP/")) {
        // The headers end at the first empty line, with CR LF or bare LF line ends.
        const qsizetype crlf = answer.indexOf("\r\n\r\n");
        const qsizetype lf = answer.indexOf("\n\n");
        if (crlf < 0 && lf < 0)
            return false;
        const bool crlfFirst = crlf >= 0 && (lf < 0 || crlf < lf);
        head = answer.left(crlfFirst ? crlf : lf);
        pageStart = crlfFirst ? crlf + 4 : lf + 2;
    }
    static const QByteArray lengthHeader = QByteArrayLiteral("content-length:");
    for (const QByteArray &line : head.split('\n')) {
        if (!line.toLower().startsWith(lengthHeader))
            continue;
        bool isNumber = false;
        const qint64 length = line.mid(lengthHeader.size()).trimmed().toLongLong(&isNumber);
        if (isNumber && length >= 0)
            return answer.size() - pageStart >= length;
    }
    return answer.mid(pageStart).toLower().contains("</html>");
}

}  // namespace ringwise
