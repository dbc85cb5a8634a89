// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace ringwise {

// Splits the server's stream into messages. The messages carry no terminator and a read may
// hold several or part of one, so the framer goes by what the conversation allows at each
// point: first the greeting alone, then the answers to the password, calls and pings, and
// replies once the client has sent a request. Text inside a message starts a new one only
// where a well-formed message can begin:
// - a text known in advance (a login answer, a text the caller expects) ends with itself;
// - a ping ends where its digits end;
// - a call line ends, at the earliest after its seventh comma, and a reply ends, where
//   "CALL_:," and a number (digits, "Secret number" or none) and its comma begin, or "PING_:"
//   and digits followed by the start of a message, or a reply, or an expected text.
// So a login answer inside a call line is text, and so is "CALL_:," in a name with fewer
// than five commas before it, or "PING_:" not followed by digits and a message.
// What the stream cannot tell apart: a line with seven commas or more before a well-formed
// "CALL_:," (a name with five commas before it, or "CALL_:," in the e-mail field) and two
// lines. Requests cannot save such values (they refuse commas); other tools and the online
// directory can.
// A reply to another client (from a server that sends replies to every client) carries names
// that cannot be told from messages either: a client that asked nothing takes it, and
// everything after it, as one message up to the next quiet moment.
class StreamFramer {
public:
    // Adds bytes (Latin-1, one byte per character).
    void feed(QByteArrayView bytes);
    // The next complete message, if one is in. `quiet`: no bytes have come for a while, so a
    // call line whose seventh comma is in, a ping, and a reply to another client end with the
    // text that has arrived.
    std::optional<QString> next(bool quiet = false);
    // The text after the last complete message: the start of a message still arriving.
    const QString &pending() const { return m_pending; }
    // The client has sent a request: replies may come.
    void allowReplies() { m_repliesAllowed = true; }
    // A message with exactly this text is complete as soon as all of it has arrived.
    void expect(const QString &text);

private:
    enum class Verdict { No, Yes, NeedMore };
    enum class Kind { Fixed, Ping, Call, Reply };
    struct Start {
        Verdict verdict = Verdict::No;
        Kind kind = Kind::Fixed;
        qsizetype size = 0;  // of a fixed text
    };

    static Verdict beginsWith(QStringView text, QStringView start);
    static Verdict numberField(QStringView text);

    std::optional<QString> greeting();
    QString take(qsizetype size);
    // Which message the text from `at` on begins, by its opening text alone.
    Start opening(qsizetype at, bool quiet) const;
    // Whether a message other than the one at the head may begin at `at`.
    Verdict boundary(qsizetype at, bool quiet) const;
    // The first position from `from` on where the message at the head may end; -1 for none.
    qsizetype nextBoundary(qsizetype from, bool quiet, Verdict *verdict);
    // Where the message at the head ends; -1 while that is not known yet.
    qsizetype end(const Start &head, bool quiet);
    qsizetype pingEnd(qsizetype at) const;

    enum class Stage { Greeting, Login, Stream } m_stage = Stage::Greeting;
    bool m_repliesAllowed = false;
    QString m_pending;
    // No message other than the head's begins in the pending text before this.
    qsizetype m_searchedTo = 0;
    QStringList m_expected;
};

}  // namespace ringwise
