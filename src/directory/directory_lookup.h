// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "call/call_record.h"
#include "call/seams.h"
#include "directory/directory_url.h"
#include "directory/reset_watch.h"

namespace ringwise {

class Database;
struct HttpAnswer;

// Asks the online directory who an unnamed caller is, names the caller's contact from the
// result page and announces the name to the clients. One lookup at a time; it keeps the
// call it was started for, so a newer call cannot receive its result. Only a result page
// counts: any other answer is a failed lookup, which stores nothing, is reported, and leaves
// the number to be looked up again at its next call.
class DirectoryLookup : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Connecting, Receiving, Parsing };
    Q_ENUM(State)

    static constexpr int kDefaultTimeoutMs = 20000;
    static constexpr qint64 kDefaultMaxResponseBytes = 2 * 1024 * 1024;
    static constexpr int kMaxRedirects = 3;

    // directoryHost: "host" or "host:port" (HTTPS), or "http://host:port", asked at every
    // lookup. report: a message for the user (a message box, or a line on standard error).
    // tls: the certificate authorities an HTTPS directory is verified against; none: the
    // system's, read at the first HTTPS lookup.
    DirectoryLookup(Database &database, CallRecord &record, ReadText directoryHost,
                    SendText sendToClients, Report report, int timeoutMs = kDefaultTimeoutMs,
                    qint64 maxResponseBytes = kDefaultMaxResponseBytes,
                    std::optional<QSslConfiguration> tls = std::nullopt, QObject *parent = nullptr);
    ~DirectoryLookup() override;

    // Looks up the number of the call; the result goes to the call's contact. Does nothing
    // while a lookup runs: the call is neither queued nor remembered.
    void StartLookup(const CallFields &call);
    State state() const { return m_state; }

signals:
    // The caller's contact is named, stored and announced.
    void contactNamed(const ringwise::CallFields &call);
    // The directory gave a result page: a name, or none for the number.
    void answered();

private:
    void ConnectURL();
    void takeAnswer(const HttpAnswer &answer);
    void followRedirect(const HttpAnswer &answer);
    void ParseResult(const QByteArray &page);
    void nameContact(const QString &name, const QString &nameSuffix);

    // The socket, made at the first lookup: making one starts Qt's TLS backend (OpenSSL),
    // which a server that never looks a caller up does without.
    QSslSocket &socket();
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void onSocketError(QAbstractSocket::SocketError error);
    // Appends what has arrived to strInput; past the size limit it fails the lookup.
    bool takeArrivedBytes();
    void failLookup(const QString &text);
    void endLookup();

    Database &m_database;
    CallRecord &m_record;
    ReadText m_directoryHost;
    SendText m_sendToClients;
    Report m_report;
    const int m_timeoutMs;
    const qint64 m_maxResponseBytes;
    std::optional<QSslConfiguration> m_tls;

    State m_state = State::Idle;
    CallFields m_call;
    quint64 m_callSerial = 0;
    DirectoryUrl m_url;
    int m_redirects = 0;
    QByteArray m_strInput;
    std::unique_ptr<QSslSocket> m_sckSync;
    ResetWatch m_resetWatch;
    QTimer m_deadline;
    // Connects to m_url once the socket has finished with the previous answer.
    QTimer m_nextConnection;
};

}  // namespace ringwise
