// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/tls_credentials.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/opensslv.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <memory>
#include <optional>

#include "call/library_functions.h"

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

// The few functions of OpenSSL's libcrypto the check below needs. The library is opened
// when TLS is set up, not linked: loading it costs 1.4 MB of relocated tables, which a
// server without a TLS port does without. Qt's TLS backend has it loaded by then.
struct Crypto {
    decltype(&BIO_new_mem_buf) newMemBuf = nullptr;
    decltype(&BIO_free) freeBio = nullptr;
    decltype(&PEM_read_bio_X509) readCertificate = nullptr;
    decltype(&X509_free) freeCertificate = nullptr;
    decltype(&PEM_read_bio_PrivateKey) readKey = nullptr;
    decltype(&EVP_PKEY_free) freeKey = nullptr;
    decltype(&X509_check_private_key) checkKey = nullptr;

    // None when the library or one of its functions is missing.
    static std::optional<Crypto> load() {
        QLibrary library(QStringLiteral("crypto"), OPENSSL_VERSION_MAJOR);
        Crypto crypto;
        const LibraryFunctions resolve(library);
        if (resolve(crypto.newMemBuf, "BIO_new_mem_buf") && resolve(crypto.freeBio, "BIO_free") &&
            resolve(crypto.readCertificate, "PEM_read_bio_X509") &&
            resolve(crypto.freeCertificate, "X509_free") &&
            resolve(crypto.readKey, "PEM_read_bio_PrivateKey") &&
            resolve(crypto.freeKey, "EVP_PKEY_free") &&
            resolve(crypto.checkKey, "X509_check_private_key"))
            return crypto;
        return std::nullopt;
    }
};

// Qt cannot tell whether a private key belongs to a certificate before a client connects;
// OpenSSL, which Qt's TLS backend runs on, can.
bool keyMatchesCertificate(const Crypto &crypto, const QByteArray &certificatePem,
                           const QByteArray &keyPem) {
    const auto bio = [&crypto](const QByteArray &pem) {
        return std::unique_ptr<BIO, decltype(crypto.freeBio)>(
            crypto.newMemBuf(pem.constData(), int(pem.size())), crypto.freeBio);
    };
    const auto certificateBio = bio(certificatePem);
    const auto keyBio = bio(keyPem);
    const std::unique_ptr<X509, decltype(crypto.freeCertificate)> certificate(
        crypto.readCertificate(certificateBio.get(), nullptr, nullptr, nullptr),
        crypto.freeCertificate);
    const std::unique_ptr<EVP_PKEY, decltype(crypto.freeKey)> key(
        crypto.readKey(keyBio.get(), nullptr, nullptr, nullptr), crypto.freeKey);
    return certificate && key && crypto.checkKey(certificate.get(), key.get()) == 1;
}

}  // namespace

TlsCredentials loadTlsCredentials(const QString &certificatePath, const QString &keyPath) {
    TlsCredentials credentials;
    QString &problem = credentials.problem;
    const std::optional<Crypto> crypto = QSslSocket::supportsSsl() ? Crypto::load() : std::nullopt;
    if (!crypto) {
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
    if (!keyMatchesCertificate(*crypto, *certificatePem, *keyPem)) {
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
