// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSslConfiguration>
#include <QString>

namespace ringwise {

// The server side of TLS: its certificate and private key, TLS 1.2 or newer, no client
// certificates asked for.
struct TlsCredentials {
    QSslConfiguration configuration;
    QString problem;  // why TLS cannot be offered; empty when it can
};

// Reads a PEM certificate and a PEM private key and checks that the key is the
// certificate's. A file that cannot be read, holds no PEM of its kind, or a key that does
// not match the certificate is a problem, told in one sentence.
TlsCredentials loadTlsCredentials(const QString &certificatePath, const QString &keyPath);

}  // namespace ringwise
