// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace ringwise {

// Where a lookup connects: HTTPS or plain HTTP, the host, the port and the page (path and
// query, starting with "/").
struct DirectoryUrl {
    bool secure = true;
    QString strHost;
    QString strPage;
    qint32 lPort = 443;

    // The request: the page, with a Host header that names the port only when it is not the
    // scheme's own.
    QByteArray request() const;
};

// The result page address for a number on the directory a ServerDirectoryHost value names:
// "host" or "host:port" speaks HTTPS, "http://host[:port]" (a local or test directory) plain
// HTTP. The directory's fixed query, the number with its blanks trimmed, no escaping.
QString lookupUrl(const QString &directory, const QString &number);

// Splits "http://" or "https://" host[:port][/page]. Empty for another scheme, or when the
// text after ":" is not a whole number.
std::optional<DirectoryUrl> splitUrl(const QString &url);

// Where a redirect's Location (absolute, or relative to the page) leads from `from`; empty
// when it leaves the site: another scheme, host or port.
std::optional<DirectoryUrl> sameSiteRedirect(const DirectoryUrl &from, const QString &location);

}  // namespace ringwise
