#include "directory/directory_lookup.h"

#include "call/call_line.h"
#include "db/database.h"
#include "db/database_error.h"
#include "directory/result_page.h"
#include "directory/socket_error_number.h"

namespace ringwise {

namespace {

const QString kTitle = QStringLiteral("RingwiseServer");
const QString kSplitError = QStringLiteral("Error in Split");

}  // namespace

DirectoryLookup::DirectoryLookup(Database &database, CallRecord &record, ReadText directoryHost,
                                 SendText sendToClients, Report report, int timeoutMs,
                                 qint64 maxResponseBytes, QObject *parent)
    : QObject(parent),
      m_database(database),
      m_record(record),
      m_directoryHost(std::move(directoryHost)),
      m_sendToClients(std::move(sendToClients)),
      m_report(std::move(report)),
      m_timeoutMs(timeoutMs),
      m_maxResponseBytes(maxResponseBytes) {
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(m_timeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        failLookup(QStringLiteral("The directory did not answer within %1 seconds.")
                       .arg(m_timeoutMs / 1000.0));
    });
    connect(&m_sckSync, &QTcpSocket::connected, this, &DirectoryLookup::onConnected);
    connect(&m_sckSync, &QTcpSocket::readyRead, this, &DirectoryLookup::onReadyRead);
    connect(&m_sckSync, &QTcpSocket::disconnected, this, &DirectoryLookup::onDisconnected);
    connect(&m_sckSync, &QTcpSocket::errorOccurred, this, &DirectoryLookup::onSocketError);
}

DirectoryLookup::~DirectoryLookup() {
    // The socket closes itself as it is destroyed; that is no answer from the directory.
    m_sckSync.disconnect(this);
}

void DirectoryLookup::StartLookup(const CallFields &call) {
    if (m_state != State::Idle)
        return;
    m_call = call;
    m_callSerial = m_record.serial();
    m_strInput.clear();
    m_state = State::Connecting;
    m_deadline.start();
    ConnectURL(lookupUrl(m_directoryHost(), call[CallField::Number]));
}

void DirectoryLookup::ConnectURL(const QString &url) {
    const std::optional<DirectoryUrl> parts = splitUrl(url);
    if (!parts || parts->lPort < 1 || parts->lPort > 65535) {
        endLookup();
        return;
    }
    m_url = *parts;
    m_sckSync.abort();
    m_sckSync.connectToHost(m_url.strHost, quint16(m_url.lPort));
}

void DirectoryLookup::onConnected() {
    if (m_state != State::Connecting)
        return;
    m_sckSync.write(
        (QStringLiteral("GET ") + m_url.strPage + QStringLiteral(" HTTP/1.0\n\n")).toLatin1());
    m_state = State::Receiving;
    m_resetWatch.watch(m_sckSync.socketDescriptor());
}

void DirectoryLookup::onReadyRead() {
    if (m_state == State::Receiving)
        takeArrivedBytes();
}

void DirectoryLookup::onDisconnected() {
    if (m_state != State::Receiving)
        return;
    if (!takeArrivedBytes())
        return;
    // Qt reports a reset like an orderly close: a page cut short is no answer, and the
    // caller is looked up again at the next call.
    if (m_resetWatch.endedInError() || !answerIsComplete(m_strInput)) {
        failLookup(QString::number(socketErrorNumber(QAbstractSocket::RemoteHostClosedError)));
        return;
    }
    m_state = State::Parsing;
    m_deadline.stop();
    m_sckSync.abort();
    ParseResult();
}

void DirectoryLookup::onSocketError(QAbstractSocket::SocketError error) {
    // The directory ends every answer by closing, and Qt reports a reset the same way; the
    // disconnected signal follows.
    if (m_state == State::Idle || error == QAbstractSocket::RemoteHostClosedError)
        return;
    failLookup(QString::number(socketErrorNumber(error)));
}

bool DirectoryLookup::takeArrivedBytes() {
    m_strInput += m_sckSync.read(m_maxResponseBytes - m_strInput.size() + 1);
    if (m_strInput.size() <= m_maxResponseBytes)
        return true;
    failLookup(
        QStringLiteral("The directory's answer is larger than %1 bytes.").arg(m_maxResponseBytes));
    return false;
}

void DirectoryLookup::ParseResult() {
    const ResultPage page = ResultPage::parse(m_strInput);
    try {
        switch (page.outcome) {
            case ResultPage::Outcome::Name:
                nameContact(trimBlanks(page.name), QStringLiteral(" (New)"));
                break;
            case ResultPage::Outcome::NoMarker:
                nameContact(QStringLiteral("Unidentified"), QString());
                break;
            case ResultPage::Outcome::Failure:
                m_report(kTitle, kSplitError);
                break;
        }
    } catch (const DatabaseError &) {
        m_report(kTitle, kSplitError);
    }
    endLookup();
}

void DirectoryLookup::nameContact(const QString &name, const QString &nameSuffix) {
    if (m_record.serial() == m_callSerial)
        m_record.set(CallField::Name, name);
    const QString contactId = m_call[CallField::ContactId];
    if (contactId.isEmpty())
        return;
    m_database.exec(QStringLiteral("UPDATE tblContacts SET FullName = (?) WHERE ID = ?"),
                    {name, contactId});
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
    m_sckSync.abort();
    m_resetWatch.release();
    m_url = DirectoryUrl();
    m_strInput.clear();
}

}  // namespace ringwise
