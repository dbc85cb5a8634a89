// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/directory_lookup.h"

#include "call/call_line.h"
#include "db/database.h"
#include "db/database_error.h"
#include "directory/http_answer.h"
#include "directory/result_page.h"
#include "directory/socket_error_number.h"

namespace ringwise {

namespace {

const QString kTitle = QStringLiteral("RingwiseServer");
const QString kSplitError = QStringLiteral("Error in Split");

}  // namespace

DirectoryLookup::DirectoryLookup(Database &database, CallRecord &record, ReadText directoryHost,
                                 SendText sendToClients, Report report, int timeoutMs,
                                 qint64 maxResponseBytes, std::optional<QSslConfiguration> tls,
                                 QObject *parent)
    : QObject(parent),
      m_database(database),
      m_record(record),
      m_directoryHost(std::move(directoryHost)),
      m_sendToClients(std::move(sendToClients)),
      m_report(std::move(report)),
      m_timeoutMs(timeoutMs),
      m_maxResponseBytes(maxResponseBytes),
      m_tls(std::move(tls)) {
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(m_timeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        failLookup(QStringLiteral("The directory did not answer within %1 seconds.")
                       .arg(m_timeoutMs / 1000.0));
    });
    // Qt clears the peer's name after the disconnected signal, so a redirect connects from
    // the event loop, not from inside that signal.
    m_nextConnection.setSingleShot(true);
    m_nextConnection.setInterval(0);
    connect(&m_nextConnection, &QTimer::timeout, this, &DirectoryLookup::ConnectURL);
}

DirectoryLookup::~DirectoryLookup() {
    // The socket closes itself as it is destroyed; that is no answer from the directory.
    if (m_sckSync)
        m_sckSync->disconnect(this);
}

QSslSocket &DirectoryLookup::socket() {
    if (!m_sckSync) {
        m_sckSync = std::make_unique<QSslSocket>();
        QSslSocket *socket = m_sckSync.get();
        connect(socket, &QSslSocket::connected, this, &DirectoryLookup::onConnected);
        connect(socket, &QSslSocket::encrypted, this, &DirectoryLookup::onConnected);
        connect(socket, &QSslSocket::readyRead, this, &DirectoryLookup::onReadyRead);
        connect(socket, &QSslSocket::disconnected, this, &DirectoryLookup::onDisconnected);
        connect(socket, &QSslSocket::errorOccurred, this, &DirectoryLookup::onSocketError);
    }
    return *m_sckSync;
}

void DirectoryLookup::StartLookup(const CallFields &call) {
    if (m_state != State::Idle)
        return;
    m_call = call;
    m_callSerial = m_record.serial();
    m_redirects = 0;
    m_state = State::Connecting;
    m_deadline.start();
    const std::optional<DirectoryUrl> url =
        splitUrl(lookupUrl(m_directoryHost(), call[CallField::Number]));
    if (!url || url->lPort < 1 || url->lPort > 65535) {
        endLookup();
        return;
    }
    m_url = *url;
    ConnectURL();
}

void DirectoryLookup::ConnectURL() {
    m_strInput.clear();
    QSslSocket &connection = socket();
    connection.abort();
    if (m_url.secure) {
        if (!m_tls)
            m_tls = QSslConfiguration::defaultConfiguration();
        connection.setSslConfiguration(*m_tls);
        connection.setPeerVerifyMode(QSslSocket::VerifyPeer);
        connection.connectToHostEncrypted(m_url.strHost, quint16(m_url.lPort));
    } else {
        connection.connectToHost(m_url.strHost, quint16(m_url.lPort));
    }
}

void DirectoryLookup::onConnected() {
    // Over HTTPS the request waits for the handshake to end.
    if (m_state != State::Connecting || (m_url.secure && !m_sckSync->isEncrypted()))
        return;
    m_sckSync->write(m_url.request());
    m_state = State::Receiving;
    m_resetWatch.watch(m_sckSync->socketDescriptor());
}

void DirectoryLookup::onReadyRead() {
    if (m_state == State::Receiving)
        takeArrivedBytes();
}

void DirectoryLookup::onDisconnected() {
    const QString reset =
        QString::number(socketErrorNumber(QAbstractSocket::RemoteHostClosedError));
    // Closed during the TLS handshake; a redirect's connection is not made yet.
    if (m_state == State::Connecting && !m_nextConnection.isActive()) {
        failLookup(reset);
        return;
    }
    if (m_state != State::Receiving || !takeArrivedBytes())
        return;
    // Qt reports a reset like an orderly close: a page cut short is no answer, and the
    // caller is looked up again at the next call.
    const HttpAnswer answer = HttpAnswer::read(m_strInput);
    if (m_resetWatch.endedInError() || !answer.complete) {
        failLookup(reset);
        return;
    }
    takeAnswer(answer);
}

void DirectoryLookup::onSocketError(QAbstractSocket::SocketError error) {
    // The directory ends every answer by closing, and Qt reports a reset the same way; the
    // disconnected signal follows.
    if (m_state == State::Idle || error == QAbstractSocket::RemoteHostClosedError)
        return;
    if (error == QAbstractSocket::SslHandshakeFailedError ||
        error == QAbstractSocket::SslInternalError ||
        error == QAbstractSocket::SslInvalidUserDataError) {
        failLookup(QStringLiteral("The secure connection to the directory failed: %1")
                       .arg(m_sckSync->errorString()));
        return;
    }
    failLookup(QString::number(socketErrorNumber(error)));
}

bool DirectoryLookup::takeArrivedBytes() {
    m_strInput += m_sckSync->read(m_maxResponseBytes - m_strInput.size() + 1);
    if (m_strInput.size() <= m_maxResponseBytes)
        return true;
    failLookup(
        QStringLiteral("The directory's answer is larger than %1 bytes.").arg(m_maxResponseBytes));
    return false;
}

void DirectoryLookup::takeAnswer(const HttpAnswer &answer) {
    static const QList<int> redirects = {301, 302, 303, 307, 308};
    if (redirects.contains(answer.status) && !answer.location.isEmpty()) {
        followRedirect(answer);
    } else if (answer.status == 0) {
        failLookup(QStringLiteral("The directory's answer has no HTTP status line."));
    } else if (answer.status != 200) {
        failLookup(QStringLiteral("The directory answered %1.").arg(answer.statusText));
    } else {
        m_state = State::Parsing;
        m_deadline.stop();
        m_sckSync->abort();
        ParseResult(answer.page);
    }
}

void DirectoryLookup::followRedirect(const HttpAnswer &answer) {
    const std::optional<DirectoryUrl> next = sameSiteRedirect(m_url, answer.location);
    if (!next) {
        failLookup(QStringLiteral("The directory answered %1 and sent the lookup to another "
                                  "site: %2")
                       .arg(answer.statusText, answer.location));
        return;
    }
    if (++m_redirects > kMaxRedirects) {
        failLookup(QStringLiteral("The directory answered %1 once more after %2 redirects.")
                       .arg(answer.statusText)
                       .arg(kMaxRedirects));
        return;
    }
    m_url = *next;
    m_state = State::Connecting;
    m_nextConnection.start();
}

void DirectoryLookup::ParseResult(const QByteArray &page) {
    const ResultPage result = ResultPage::parse(page);
    try {
        switch (result.outcome) {
            case ResultPage::Outcome::Name:
                emit answered();
                nameContact(trimBlanks(result.name), QStringLiteral(" (New)"));
                break;
            case ResultPage::Outcome::NoMarker:
                emit answered();
                nameContact(QStringLiteral("Unidentified"), QString());
                break;
            case ResultPage::Outcome::ErrorPage:
                m_report(kTitle, QStringLiteral("The directory's answer is not a result page."));
                break;
            case ResultPage::Outcome::Failure:
                m_report(kTitle, kSplitError);
                break;
        }
    } catch (const DatabaseError &error) {
        // The name could not be stored (the database may be locked): say why.
        m_report(kTitle, kSplitError + QStringLiteral(": ") + error.description());
    }
    endLookup();
}

void DirectoryLookup::nameContact(const QString &name, const QString &nameSuffix) {
    const QString contactId = m_call[CallField::ContactId];
    // A contact that a client has saved (or deleted) while the directory answered keeps what
    // the client gave it: the directory's name is then neither stored nor announced.
    if (!contactId.isEmpty() &&
        m_database.exec(QStringLiteral("UPDATE tblContacts SET FullName = (?) "
                                       "WHERE ID = ? AND trim(coalesce(FullName, '')) = ''"),
                        {name, contactId}) == 0)
        return;
    if (m_record.serial() == m_callSerial)
        m_record.set(CallField::Name, name);
    if (contactId.isEmpty())
        return;
    CallFields named = m_call;
    named[CallField::Name] = name;
    m_sendToClients(callLine(named, nameSuffix));
    // As for the call itself: announced first, then made durable.
    m_database.syncLog();
    emit contactNamed(named);
}

void DirectoryLookup::failLookup(const QString &text) {
    endLookup();
    m_report(kTitle, text);
}

void DirectoryLookup::endLookup() {
    // Idle first: aborting a connected socket emits disconnected, which must not parse.
    m_state = State::Idle;
    m_deadline.stop();
    m_nextConnection.stop();
    if (m_sckSync)
        m_sckSync->abort();
    m_resetWatch.release();
    m_url = DirectoryUrl();
    m_strInput.clear();
}

}  // namespace ringwise
