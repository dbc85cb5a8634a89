#include "directory/directory_url.h"

#include "call/call_line.h"

namespace ringwise {

QString lookupUrl(const QString &host, const QString &number) {
    return QStringLiteral("http://") + host +
           QStringLiteral(
               "/vbw/super/resultat.do?compTrade=&compZip=&compCity=&compAddress="
               "&compRegionID=&compPhone=") +
           trimBlanks(number) + QStringLiteral("&Image51.x=0&Image51.y=0");
}

std::optional<DirectoryUrl> splitUrl(const QString &url) {
    const qsizetype scheme = url.indexOf(QLatin1String("://"));
    if (scheme < 0)
        return std::nullopt;
    DirectoryUrl parts;
    parts.strHost = url.mid(scheme + 3);
    const qsizetype slash = parts.strHost.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        parts.strPage = parts.strHost.mid(slash);
        parts.strHost.truncate(slash);
    } else {
        parts.strPage = QStringLiteral("/");
    }
    const qsizetype colon = parts.strHost.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        bool isNumber = false;
        parts.lPort = parts.strHost.mid(colon + 1).toInt(&isNumber);
        if (!isNumber)
            return std::nullopt;
        parts.strHost.truncate(colon);
    }
    return parts;
}

}  // namespace ringwise
