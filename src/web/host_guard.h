// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace ringwise {

// Keeps other sites out of the web page. A browser sends their pages' requests with their
// Origin, and a name of theirs that resolves to this machine (DNS rebinding) with their
// name as the Host: the page answers only to names that are this machine's own, and
// changes things only for requests from its own origin.
class HostGuard {
public:
    // The machine's host name and its DNS domain (may be empty).
    HostGuard(QString machineName, QString domain);

    // An IP literal, localhost, the machine's name (bare, .local or in its domain) or any
    // .local name, with or without a port; no Host at all is let through (no browser omits
    // it).
    bool admitsHost(const QByteArray &host) const;
    // No Origin, or one of the same scheme, name and port as the Host.
    static bool sameOrigin(const QByteArray &origin, const QByteArray &host, bool secure);

private:
    QString m_machineName;
    QString m_domain;
};

}  // namespace ringwise
