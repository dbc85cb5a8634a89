#include "server/tls_credentials.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <memory>
#include <optional>

namespace ringwise {

namespace {

std::optional<QByteArray> readFile(const QString &path, const QString &what, QString &problem) {
    QFile file(path);
    if (path.isEmpty()) {
        problem = QStringLiteral("No TLS %1 file is set.").arg(what);
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        problem =
            QStringLiteral("The TLS %1 %2 cannot be read: %3.").arg(what, path, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

QSslKey privateKey(const QByteArray &pem) {
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull())
            return key;
    }
    return QSslKey();
}

// Qt cannot tell whether a private key belongs to a certificate before a client connects;
// OpenSSL, which Qt's TLS backend runs on, can.
bool keyMatchesCertificate(const QByteArray &certificatePem, const QByteArray &keyPem) {
    const auto bio = [](const QByteArray &pem) {
        return std::unique_ptr<BIO, decltype(&BIO_free)>(
            BIO_new_mem_buf(pem.constData(), int(pem.size())), &BIO_free);
    };
    const auto certificateBio = bio(certificatePem);
    const auto keyBio = bio(keyPem);
    const std::unique_ptr<X509, decltype(&X509_free)> certificate(
        PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr), &X509_free);
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr), &EVP_PKEY_free);
    return certificate && key && X509_check_private_key(certificate.get(), key.get()) == 1;
}

}  // namespace

TlsCredentials loadTlsCredentials(const QString &certificatePath, const QString &keyPath) {
    TlsCredentials credentials;
    QString &problem = credentials.problem;
    if (!QSslSocket::supportsSsl()) {
        problem = QStringLiteral("TLS is not available on this system.");
        return credentials;
    }
    const std::optional<QByteArray> certificatePem =
        readFile(certificatePath, QStringLiteral("certificate"), problem);
    if (!certificatePem)
        return credentials;
    const std::optional<QByteArray> keyPem = readFile(keyPath, QStringLiteral("key"), problem);
    if (!keyPem)
        return credentials;
    const QList<QSslCertificate> chain = QSslCertificate::fromData(*certificatePem, QSsl::Pem);
    if (chain.isEmpty()) {
        problem =
            QStringLiteral("The TLS certificate %1 holds no PEM certificate.").arg(certificatePath);
        return credentials;
    }
    const QSslKey key = privateKey(*keyPem);
    if (key.isNull()) {
        problem = QStringLiteral("The TLS key %1 holds no PEM private key without a passphrase.")
                      .arg(keyPath);
        return credentials;
    }
    if (!keyMatchesCertificate(*certificatePem, *keyPem)) {
        problem = QStringLiteral("The TLS key %1 does not belong to the certificate %2.")
                      .arg(keyPath, certificatePath);
        return credentials;
    }
    credentials.configuration = QSslConfiguration::defaultConfiguration();
    credentials.configuration.setLocalCertificateChain(chain);
    credentials.configuration.setPrivateKey(key);
    credentials.configuration.setProtocol(QSsl::TlsV1_2OrLater);
    credentials.configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return credentials;
}

}  // namespace ringwise
