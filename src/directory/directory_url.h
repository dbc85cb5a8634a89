#pragma once

#include <QString>
#include <optional>

namespace ringwise {

// Where a lookup connects: the host, the page (path and query, starting with "/") and
// the port.
struct DirectoryUrl {
    QString strHost;
    QString strPage;
    qint32 lPort = 80;
};

// The result page address for a number: the directory's fixed query, the number with its
// blanks trimmed, no escaping.
QString lookupUrl(const QString &host, const QString &number);

// Splits "scheme://host[:port][/page]". Empty when the URL has no "://" or the text after
// ":" is not a whole number.
std::optional<DirectoryUrl> splitUrl(const QString &url);

}  // namespace ringwise
