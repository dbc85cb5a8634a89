// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace ringwise::test {

// A self-signed certificate for localhost and its key, and a key of another, made by
// openssl in a temporary folder.
struct TestCertificate {
    TestCertificate();

    QTemporaryDir folder;
    const QString certificate = folder.filePath("cert.pem");
    const QString key = folder.filePath("key.pem");
    const QString otherKey = folder.filePath("other-key.pem");
    bool valid = false;
};

}  // namespace ringwise::test
