// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/http_answer.h"

#include <QList>

namespace ringwise {

HttpAnswer HttpAnswer::read(const QByteArray &answer) {
    HttpAnswer read;
    QList<QByteArray> head;
    qsizetype pageStart = 0;
    if (answer.startsWith("HTTP/")) {
        // The headers end at the first empty line, with CR LF or bare LF line ends.
        const qsizetype crlf = answer.indexOf("\r\n\r\n");
        const qsizetype lf = answer.indexOf("\n\n");
        if (crlf < 0 && lf < 0)
            return read;
        const bool crlfFirst = crlf >= 0 && (lf < 0 || crlf < lf);
        head = answer.left(crlfFirst ? crlf : lf).split('\n');
        pageStart = crlfFirst ? crlf + 4 : lf + 2;
        const QByteArray statusLine = head.takeFirst().trimmed();
        const qsizetype space = statusLine.indexOf(' ');
        read.statusText = space < 0 ? QString() : QString::fromLatin1(statusLine.mid(space + 1));
        const QString code = read.statusText.section(QLatin1Char(' '), 0, 0);
        bool isNumber = false;
        const int status = code.toInt(&isNumber);
        read.status = isNumber && code.size() == 3 && status >= 100 ? status : 0;
    }
    read.page = answer.mid(pageStart);

    qint64 length = -1;
    for (const QByteArray &line : std::as_const(head)) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        bool isNumber = false;
        if (name == "content-length" && length < 0) {
            const qint64 announced = value.toLongLong(&isNumber);
            length = isNumber && announced >= 0 ? announced : -1;
        } else if (name == "location" && read.location.isEmpty()) {
            read.location = QString::fromLatin1(value);
        }
    }
    // Only a result page is read for a name: any other status says all it has in its head.
    read.complete =
        (read.status != 0 && read.status != 200) ||
        (length >= 0 ? read.page.size() >= length : read.page.toLower().contains("</html>"));
    return read;
}

}  // namespace ringwise
