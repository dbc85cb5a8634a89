// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QUrlQuery>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "book/import_summary.h"
#include "call/block_entry.h"
#include "call/seams.h"
#include "db/query.h"
#include "web/session_store.h"

namespace ringwise {

class Database;

// One HTTP request as the routes read it.
struct WebRequest {
    QByteArray method;  // "GET", "POST", …
    QString path;
    QUrlQuery query;
    QByteArray cookies;  // the Cookie header
    QByteArray token;    // the X-Ringwise-Token header
    QByteArray body;
    QHostAddress peer;
    bool secure = false;  // came over HTTPS
};

// The answer; the web server adds the headers every answer has.
struct WebResponse {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    std::vector<std::pair<QByteArray, QByteArray>> headers;
};

// A contact saved through the client protocol's code: its key, or why it was not saved.
struct WebSavedContact {
    std::optional<qint64> contactId;
    QString error;
};

struct WebSeams {
    ReadText password;  // ServerPassword, read at each use
    // The client port's throttle of wrong passwords, which the login form shares.
    std::function<bool(const QHostAddress &)> admits;
    std::function<bool(const QHostAddress &)> wrongPassword;
    std::function<void(const QHostAddress &)> loggedIn;
    // No key: a new contact. Values: name, home, mobile, e-mail, work, fax.
    std::function<WebSavedContact(std::optional<qint64>, const QStringList &)> saveContact;
    std::function<Query(const QString &term, int limit)> findContacts;
    Clock now;
    // The block list and the contact import through the desktop's code; the changes return
    // why they were not made, or an empty text.
    std::function<std::vector<BlockEntry>()> blockEntries;
    std::function<QString(const QString &number, const QString &note)> addBlockEntry;
    std::function<QString(const QString &number)> removeBlockEntry;
    std::function<ImportSummary(const QByteArray &file, ImportOptions)> importContacts;
};

// The web page's routes: pages and their scripts from the resources, login and logout,
// and the JSON API over the call log and the contact book. No sockets: the web server
// turns requests into WebRequest and writes the WebResponse.
class WebApi {
public:
    static constexpr int kContactsFound = 100;
    inline static const QByteArray kSessionCookie = QByteArrayLiteral("rw_session");

    WebApi(Database &database, WebSeams seams);

    // Database failures are answered with 500 and their description.
    WebResponse handle(const WebRequest &request);
    // Whether the cookies carry a live session; always true while no password is set.
    bool admitsCookies(const QByteArray &cookies);
    // Whether the session of a WebSocket's cookies is still live (the password unchanged).
    bool stillAdmits(const QByteArray &cookies);

private:
    WebResponse route(const WebRequest &request);
    WebResponse login(const WebRequest &request);
    WebResponse logout(const WebRequest &request);
    WebResponse session(const WebRequest &request);
    WebResponse contacts(const WebRequest &request);
    WebResponse contactCard(const QString &key);
    WebResponse saveContact(const QString &key, const QByteArray &body);
    // The block list, the import and the export; no answer when the path is none of theirs.
    std::optional<WebResponse> blockOrBook(const WebRequest &request);
    WebResponse changeBlockList(const WebRequest &request, bool add);
    WebResponse importContacts(const WebRequest &request);
    bool passwordSet() const;
    // The session the cookies carry, password changes applied; nullptr when none.
    const SessionStore::Session *sessionOf(const QByteArray &cookies);
    // The token a changing request must carry: the session's, or with no password one
    // per run (so that no other site can make a browser change anything either).
    QByteArray tokenFor(const SessionStore::Session *session) const;

    Database &m_database;
    WebSeams m_seams;
    SessionStore m_sessions;
    const QByteArray m_openToken;
};

}  // namespace ringwise
