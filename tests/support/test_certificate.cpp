// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_certificate.h"

#include <QProcess>

namespace ringwise::test {

TestCertificate::TestCertificate() {
    const auto run = [](const QStringList &arguments) {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"), arguments);
        return openssl.waitForFinished(30000) && openssl.exitCode() == 0;
    };
    valid = folder.isValid() &&
            run({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                 "/CN=localhost", "-keyout", key, "-out", certificate}) &&
            run({"genpkey", "-algorithm", "RSA", "-out", otherKey});
}

}  // namespace ringwise::test
