// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/directory_url.h"

#include <QUrl>

#include "call/call_line.h"

namespace ringwise {

namespace {

constexpr qint32 kHttpPort = 80;
constexpr qint32 kHttpsPort = 443;

qint32 defaultPort(bool secure) {
    return secure ? kHttpsPort : kHttpPort;
}

QString schemeName(bool secure) {
    return secure ? QStringLiteral("https") : QStringLiteral("http");
}

}  // namespace

QByteArray DirectoryUrl::request() const {
    QString host = strHost;
    if (lPort != defaultPort(secure))
        host += QLatin1Char(':') + QString::number(lPort);
    return (QStringLiteral("GET ") + strPage + QStringLiteral(" HTTP/1.0\r\nHost: ") + host +
            QStringLiteral("\r\n\r\n"))
        .toLatin1();
}

QString lookupUrl(const QString &directory, const QString &number) {
    QString site = directory;
    if (!site.contains(QLatin1String("://")))
        site.prepend(QStringLiteral("https://"));
    while (site.endsWith(QLatin1Char('/')))
        site.chop(1);
    return site +
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
    const QString name = url.left(scheme).toLower();
    if (name != schemeName(true) && name != schemeName(false))
        return std::nullopt;
    parts.secure = name == schemeName(true);
    parts.lPort = defaultPort(parts.secure);
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

std::optional<DirectoryUrl> sameSiteRedirect(const DirectoryUrl &from, const QString &location) {
    QUrl page;
    page.setScheme(schemeName(from.secure));
    page.setHost(from.strHost);
    page.setPort(from.lPort);
    page.setPath(from.strPage.section(QLatin1Char('?'), 0, 0));
    const QUrl target = page.resolved(QUrl(location));
    if (!target.isValid() || target.scheme() != page.scheme() ||
        target.host().compare(from.strHost, Qt::CaseInsensitive) != 0 ||
        target.port(defaultPort(from.secure)) != from.lPort)
        return std::nullopt;
    DirectoryUrl next = from;
    next.strPage = QString::fromLatin1(
        target.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment));
    if (!next.strPage.startsWith(QLatin1Char('/')))
        next.strPage.prepend(QLatin1Char('/'));
    return next;
}

}  // namespace ringwise
