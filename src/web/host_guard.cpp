// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/host_guard.h"

#include <QHostAddress>
#include <QUrl>

namespace ringwise {

namespace {

// The Host header as a URL's authority; invalid when it is not a bare name and port.
QUrl authority(const QByteArray &host, bool secure) {
    QUrl url;
    url.setScheme(secure ? QStringLiteral("https") : QStringLiteral("http"));
    url.setAuthority(QString::fromLatin1(host), QUrl::StrictMode);
    if (!url.userInfo().isEmpty() || url.host().isEmpty())
        return QUrl();
    return url;
}

}  // namespace

HostGuard::HostGuard(QString machineName, QString domain)
    : m_machineName(std::move(machineName).toLower()), m_domain(std::move(domain).toLower()) {}

bool HostGuard::admitsHost(const QByteArray &host) const {
    if (host.isEmpty())
        return true;
    const QUrl url = authority(host, false);
    if (!url.isValid())
        return false;
    const QString name = url.host();  // lower case, without an IPv6 address's brackets
    if (!QHostAddress(name).isNull() || name == QLatin1String("localhost") ||
        name.endsWith(QLatin1String(".local")) || name == m_machineName)
        return true;
    return !m_domain.isEmpty() && name == m_machineName + u'.' + m_domain;
}

bool HostGuard::sameOrigin(const QByteArray &origin, const QByteArray &host, bool secure) {
    if (origin.isEmpty())
        return true;
    const QUrl own = authority(host, secure);
    const QUrl from(QString::fromLatin1(origin), QUrl::StrictMode);
    const int defaultPort = secure ? 443 : 80;
    return own.isValid() && from.isValid() && from.scheme() == own.scheme() &&
           from.host() == own.host() && from.port(defaultPort) == own.port(defaultPort) &&
           from.path().isEmpty();
}

}  // namespace ringwise
