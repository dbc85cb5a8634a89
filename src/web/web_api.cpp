// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/web_api.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "book/contact_export.h"
#include "db/database.h"
#include "db/database_error.h"
#include "web/web_queries.h"

namespace ringwise {

namespace {

const QByteArray kJson = QByteArrayLiteral("application/json");
const QByteArray kLoginPath = QByteArrayLiteral("/login");

struct Resource {
    const char *path;
    const char *file;
    const char *contentType;
};

// The pages and what they load, built into the program; "/" and "/login" are pages that
// depend on the login.
const Resource kResources[] = {
    {"/app.css", "app.css", "text/css; charset=utf-8"},
    {"/app.js", "app.js", "text/javascript; charset=utf-8"},
    {"/login.js", "login.js", "text/javascript; charset=utf-8"},
    {"/icon.svg", "icon.svg", "image/svg+xml"},
    {"/favicon.ico", "icon.svg", "image/svg+xml"},
};

WebResponse resource(const char *file, const char *contentType) {
    QFile data(QStringLiteral(":/web/") + QLatin1String(file));
    if (!data.open(QIODevice::ReadOnly))
        return {500, kJson, R"({"error":"resource"})", {}};
    return {200, contentType, data.readAll(), {}};
}

WebResponse page(const char *file) {
    WebResponse response = resource(file, "text/html; charset=utf-8");
    response.headers.emplace_back("Cache-Control", "no-store");
    return response;
}

WebResponse json(const QJsonObject &object, int status = 200) {
    return {status,
            kJson,
            QJsonDocument(object).toJson(QJsonDocument::Compact),
            {{"Cache-Control", "no-store"}}};
}

WebResponse error(int status, const QString &reason) {
    return json({{"error", reason}}, status);
}

WebResponse redirect(const QByteArray &location) {
    return {
        303, QByteArray(), QByteArray(), {{"Location", location}, {"Cache-Control", "no-store"}}};
}

WebResponse methodNotAllowed(const QByteArray &allowed) {
    WebResponse response = error(405, QStringLiteral("method"));
    response.headers.emplace_back("Allow", allowed);
    return response;
}

std::optional<qint64> key(const QString &text) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toLongLong();
}

// The form's field, decoded as a browser encodes it ("+" for a space).
QString formField(const QByteArray &body, const QString &name) {
    QByteArray form = body;
    form.replace('+', ' ');
    return QUrlQuery(QString::fromUtf8(form)).queryItemValue(name, QUrl::FullyDecoded);
}

// The value of the named cookie in a Cookie header's text; empty when it is missing.
QByteArray cookieValue(const QByteArray &cookies, QByteArrayView name) {
    for (const QByteArray &pair : cookies.split(';')) {
        const QByteArray trimmed = pair.trimmed();
        const qsizetype equals = trimmed.indexOf('=');
        if (equals > 0 && QByteArrayView(trimmed).first(equals) == name)
            return trimmed.mid(equals + 1);
    }
    return QByteArray();
}

std::pair<QByteArray, QByteArray> sessionCookie(const QByteArray &id, bool secure) {
    return {"Set-Cookie",
            WebApi::kSessionCookie + '=' + id + "; Path=/; HttpOnly; SameSite=Strict" +
                (secure ? "; Secure" : "") +
                "; Max-Age=" + QByteArray::number(qint64(SessionStore::kIdleDays) * 24 * 3600)};
}

}  // namespace

WebApi::WebApi(Database &database, WebSeams seams)
    : m_database(database),
      m_seams(std::move(seams)),
      m_sessions(m_seams.now),
      m_openToken(randomHexId()) {}

WebResponse WebApi::handle(const WebRequest &request) {
    try {
        return route(request);
    } catch (const DatabaseError &failure) {
        return error(500, failure.description());
    }
}

WebResponse WebApi::route(const WebRequest &request) {
    const QString &path = request.path;
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    for (const Resource &resource : kResources) {
        if (path == QLatin1String(resource.path))
            return get ? ringwise::resource(resource.file, resource.contentType)
                       : methodNotAllowed("GET");
    }
    if (path == kLoginPath) {
        if (post)
            return login(request);
        if (!get)
            return methodNotAllowed("GET, POST");
        return passwordSet() ? page("login.html") : redirect("/");
    }
    if (path == QLatin1String("/logout"))
        return post ? logout(request) : methodNotAllowed("POST");

    const bool api = path.startsWith(QLatin1String("/api/"));
    if (path != QLatin1String("/") && !api)
        return error(404, QStringLiteral("notFound"));
    const SessionStore::Session *session = sessionOf(request.cookies);
    if (passwordSet() && !session)
        return api ? error(401, QStringLiteral("login")) : redirect(kLoginPath);
    if (path == QLatin1String("/")) {
        if (!get)
            return methodNotAllowed("GET");
        WebResponse response = page("index.html");
        // The browser keeps the cookie for as long as the session lasts unused: from now.
        if (session)
            response.headers.push_back(sessionCookie(session->id, request.secure));
        return response;
    }
    if (post && request.token != tokenFor(session))
        return error(403, QStringLiteral("token"));

    static const QRegularExpression contactPath(QStringLiteral("^/api/contacts/([^/]+)$"));
    const QRegularExpressionMatch contact = contactPath.match(path);
    if (contact.hasMatch()) {
        if (post)
            return saveContact(contact.captured(1), request.body);
        return get ? contactCard(contact.captured(1)) : methodNotAllowed("GET, POST");
    }
    if (path == QLatin1String("/api/session") || path == QLatin1String("/api/calls") ||
        path == QLatin1String("/api/contacts") || path == QLatin1String("/api/stats")) {
        if (!get)
            return methodNotAllowed("GET");
        if (path == QLatin1String("/api/session"))
            return json({{"token", QString::fromLatin1(tokenFor(session))},
                         {"passwordSet", passwordSet()}});
        if (path == QLatin1String("/api/contacts"))
            return contacts(request);
        if (path == QLatin1String("/api/stats"))
            return json(web_queries::stats(m_database, m_seams.now()));
        const QString before = request.query.queryItemValue(QStringLiteral("before"));
        const std::optional<qint64> beforeKey = key(before);
        if (!before.isEmpty() && !beforeKey)
            return error(400, QStringLiteral("before"));
        return json(web_queries::callsPage(m_database, beforeKey));
    }
    if (std::optional<WebResponse> answer = blockOrBook(request))
        return *answer;
    return error(404, QStringLiteral("notFound"));
}

WebResponse WebApi::login(const WebRequest &request) {
    if (!passwordSet())
        return redirect("/");
    if (!m_seams.admits(request.peer))
        return redirect("/login?throttled=1");
    if (formField(request.body, QStringLiteral("password")) != m_seams.password()) {
        return redirect(m_seams.wrongPassword(request.peer) ? "/login?throttled=1"
                                                            : "/login?failed=1");
    }
    m_seams.loggedIn(request.peer);
    m_sessions.keepFor(m_seams.password());
    WebResponse response = redirect("/");
    response.headers.push_back(sessionCookie(m_sessions.create().id, request.secure));
    return response;
}

WebResponse WebApi::logout(const WebRequest &request) {
    const SessionStore::Session *session = sessionOf(request.cookies);
    if (passwordSet() && !session)
        return redirect(kLoginPath);
    if (request.token != tokenFor(session))
        return error(403, QStringLiteral("token"));
    if (session)
        m_sessions.end(session->id);
    WebResponse response = redirect(kLoginPath);
    response.headers.emplace_back(
        "Set-Cookie", kSessionCookie + "=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0");
    return response;
}

WebResponse WebApi::contacts(const WebRequest &request) {
    const QString term = request.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
    QJsonArray found;
    for (Query rows = m_seams.findContacts(term, kContactsFound); !rows.atEnd(); rows.next())
        found.append(web_queries::contact(rows));
    return json({{"contacts", found}});
}

WebResponse WebApi::contactCard(const QString &keyText) {
    const std::optional<qint64> contactKey = key(keyText);
    const std::optional<QJsonObject> card =
        contactKey ? web_queries::contactCard(m_database, *contactKey) : std::nullopt;
    if (!card)
        return error(404, QStringLiteral("No contact has the ID %1").arg(keyText));
    return json(*card);
}

WebResponse WebApi::saveContact(const QString &keyText, const QByteArray &body) {
    const bool isNew = keyText == QLatin1String("new");
    const std::optional<qint64> contactKey = key(keyText);
    if (!isNew && !contactKey)
        return error(404, QStringLiteral("No contact has the ID %1").arg(keyText));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (!document.isObject())
        return error(400, QStringLiteral("The contact is not a JSON object"));
    const QJsonObject fields = document.object();
    QStringList values;
    for (const char *field : {"name", "home", "mobile", "email", "work", "fax"})
        values << fields.value(QLatin1String(field)).toString();
    const WebSavedContact saved = m_seams.saveContact(contactKey, values);
    if (!saved.contactId)
        return error(400, saved.error);
    const std::optional<QJsonObject> card = web_queries::contactCard(m_database, *saved.contactId);
    if (!card)
        return error(404, QStringLiteral("No contact has the ID %1").arg(*saved.contactId));
    return json({{"contact", card->value("contact")}});
}

std::optional<WebResponse> WebApi::blockOrBook(const WebRequest &request) {
    const QString &path = request.path;
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    if (path == QLatin1String("/api/blocked")) {
        if (post)
            return changeBlockList(request, true);
        if (!get)
            return methodNotAllowed("GET, POST");
        QJsonArray entries;
        for (const BlockEntry &entry : m_seams.blockEntries()) {
            entries.append(QJsonObject{{"number", entry.number},
                                       {"note", entry.note},
                                       {"added", entry.added},
                                       {"blockedCalls", entry.blockedCalls},
                                       {"lastBlocked", entry.lastBlocked}});
        }
        return json({{"entries", entries}});
    }
    if (path == QLatin1String("/api/blocked/remove"))
        return post ? changeBlockList(request, false) : methodNotAllowed("POST");
    if (path == QLatin1String("/api/import"))
        return post ? importContacts(request) : methodNotAllowed("POST");
    const std::optional<BookFormat> format =
        path.startsWith(QLatin1String("/api/export.")) ? bookFormatOf(path) : std::nullopt;
    if (!format)
        return std::nullopt;
    if (!get)
        return methodNotAllowed("GET");
    const bool vCard = *format == BookFormat::VCard;
    return WebResponse{200,
                       vCard ? "text/vcard; charset=utf-8" : "text/csv; charset=utf-8",
                       exportContacts(m_database, *format),
                       {{"Cache-Control", "no-store"},
                        {"Content-Disposition", vCard ? "attachment; filename=\"contacts.vcf\""
                                                      : "attachment; filename=\"contacts.csv\""}}};
}

WebResponse WebApi::changeBlockList(const WebRequest &request, bool add) {
    const QJsonDocument document = QJsonDocument::fromJson(request.body);
    if (!document.isObject())
        return error(400, QStringLiteral("The entry is not a JSON object"));
    const QString number = document.object().value("number").toString();
    const QString problem =
        add ? m_seams.addBlockEntry(number, document.object().value("note").toString())
            : m_seams.removeBlockEntry(number);
    if (!problem.isEmpty())
        return error(400, problem);
    return json({{"number", number}});
}

WebResponse WebApi::importContacts(const WebRequest &request) {
    const auto flag = [&request](const char *name) {
        return request.query.queryItemValue(QLatin1String(name)) == QLatin1String("1");
    };
    const ImportSummary summary =
        m_seams.importContacts(request.body, ImportOptions{flag("replace"), flag("dryRun")});
    return json({{"added", summary.added},
                 {"updated", summary.updated},
                 {"unchanged", summary.unchanged},
                 {"refused", summary.refused},
                 {"notes", QJsonArray::fromStringList(summary.notes)},
                 {"failure", summary.failure},
                 {"dryRun", summary.dryRun},
                 {"text", summary.text()}});
}

bool WebApi::passwordSet() const {
    return !m_seams.password().isEmpty();
}

const SessionStore::Session *WebApi::sessionOf(const QByteArray &cookies) {
    m_sessions.keepFor(m_seams.password());
    const QByteArray id = cookieValue(cookies, kSessionCookie);
    return id.isEmpty() ? nullptr : m_sessions.find(id);
}

QByteArray WebApi::tokenFor(const SessionStore::Session *session) const {
    return session ? session->token : m_openToken;
}

bool WebApi::admitsCookies(const QByteArray &cookies) {
    return !passwordSet() || sessionOf(cookies);
}

bool WebApi::stillAdmits(const QByteArray &cookies) {
    m_sessions.keepFor(m_seams.password());
    return !passwordSet() || m_sessions.isLive(cookieValue(cookies, kSessionCookie));
}

}  // namespace ringwise
