// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace ringwise {

// The directory's answer as HTTP/1.x: its status, the headers the lookup uses, the page.
struct HttpAnswer {
    int status = 0;      // 0: no status line "HTTP/x.y NNN reason"
    QString statusText;  // the code and the reason as sent: "503 Service Unavailable"
    QString location;    // where a redirect leads
    QByteArray page;     // what follows the headers; the whole answer without a status line
    // Whether the answer arrived whole: any status but 200 once its head is in; a page when
    // it holds at least the bytes its Content-Length announces or, with no length announced,
    // contains "</html>" in any case. A page cut short has no result arrow, and taking it
    // for the directory's "unknown number" would name the caller "Unidentified" for good.
    bool complete = false;

    static HttpAnswer read(const QByteArray &answer);
};

}  // namespace ringwise
