// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/stream_framer.h"

#include <algorithm>
#include <array>

#include "call/call_line.h"
#include "call/call_record.h"
#include "client/server_texts.h"

namespace ringwise {

namespace {

const std::array<QString, 3> kLoginAnswers = {kPasswordAccepted, kInvalidPassword,
                                              kPasswordNotReceived};
const std::array<QString, 3> kReplyStarts = {QStringLiteral("STATS:"), QStringLiteral("CNTAC:"),
                                             QStringLiteral("BLOCK:")};
const QString kPingStart = QStringLiteral("PING_:");
// "CALL_:," and the commas between seven fields.
constexpr int kCallLineCommas = 7;

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

}  // namespace

StreamFramer::Verdict StreamFramer::beginsWith(QStringView text, QStringView start) {
    if (text.startsWith(start))
        return Verdict::Yes;
    return start.startsWith(text) ? Verdict::NeedMore : Verdict::No;
}

StreamFramer::Verdict StreamFramer::numberField(QStringView text) {
    qsizetype digits = 0;
    while (digits < text.size() && isDigit(text[digits]))
        ++digits;
    if (digits == text.size())
        return Verdict::NeedMore;
    if (text[digits] == u',')
        return Verdict::Yes;
    return digits == 0 ? beginsWith(text, QString(kSecretNumber + QLatin1Char(','))) : Verdict::No;
}

void StreamFramer::feed(QByteArrayView bytes) {
    m_pending += QString::fromLatin1(bytes);
}

void StreamFramer::expect(const QString &text) {
    m_expected.append(text);
    m_searchedTo = 0;
}

std::optional<QString> StreamFramer::next(bool quiet) {
    if (m_stage == Stage::Greeting)
        return greeting();
    for (;;) {
        const Start head = opening(0, false);
        Verdict verdict = head.verdict;
        if (verdict == Verdict::Yes && head.kind == Kind::Call)
            verdict = numberField(QStringView(m_pending).mid(kCallLinePrefix.size()));
        if (verdict == Verdict::NeedMore)
            return std::nullopt;
        if (verdict == Verdict::No) {
            // Not the start of a message (the rest of one taken as whole at a quiet moment):
            // dropped up to where one may start.
            Verdict ignored;
            const qsizetype at = nextBoundary(1, quiet, &ignored);
            take(at < 0 ? m_pending.size() : at);
            continue;
        }
        // Once the stream has begun, the login is over.
        if (head.kind != Kind::Fixed)
            m_stage = Stage::Stream;
        const qsizetype size = end(head, quiet);
        if (size < 0)
            return std::nullopt;
        QString message = take(size);
        if (m_stage == Stage::Login && message == kPasswordAccepted)
            m_stage = Stage::Stream;
        return message;
    }
}

std::optional<QString> StreamFramer::greeting() {
    const Verdict verdict = beginsWith(m_pending, kGreetingStart);
    if (verdict == Verdict::NeedMore)
        return std::nullopt;
    qsizetype size = m_pending.size();  // not a Ringwise server: whatever it sent
    if (verdict == Verdict::Yes) {
        const qsizetype bracket = m_pending.indexOf(u']', kGreetingStart.size());
        if (bracket < 0)
            return std::nullopt;
        size = bracket + 1;
        m_stage = Stage::Login;
    }
    return take(size);
}

QString StreamFramer::take(qsizetype size) {
    QString message = m_pending.left(size);
    m_pending.remove(0, size);
    m_searchedTo = 0;
    return message;
}

StreamFramer::Start StreamFramer::opening(qsizetype at, bool quiet) const {
    const QStringView rest = QStringView(m_pending).mid(at);
    bool partial = false;
    const auto begins = [&](const QString &start) {
        const Verdict verdict = beginsWith(rest, start);
        partial = partial || verdict == Verdict::NeedMore;
        return verdict == Verdict::Yes;
    };
    if (m_stage == Stage::Login) {
        for (const QString &answer : kLoginAnswers)
            if (begins(answer))
                return {Verdict::Yes, Kind::Fixed, answer.size()};
    }
    for (const QString &text : m_expected)
        if (begins(text))
            return {Verdict::Yes, Kind::Fixed, text.size()};
    for (const QString &start : kReplyStarts)
        if (begins(start))
            return {Verdict::Yes, Kind::Reply};
    if (begins(kPingStart))
        return {Verdict::Yes, Kind::Ping};
    if (begins(kCallLinePrefix))
        return {Verdict::Yes, Kind::Call};
    return {partial && !quiet ? Verdict::NeedMore : Verdict::No};
}

StreamFramer::Verdict StreamFramer::boundary(qsizetype at, bool quiet) const {
    const Start start = opening(at, quiet);
    if (start.verdict != Verdict::Yes)
        return start.verdict;
    if (start.kind == Kind::Call) {
        const Verdict verdict =
            numberField(QStringView(m_pending).mid(at + kCallLinePrefix.size()));
        return quiet && verdict == Verdict::NeedMore ? Verdict::No : verdict;
    }
    if (start.kind != Kind::Ping)
        return Verdict::Yes;
    const qsizetype digitsEnd = pingEnd(at);
    const bool atEnd = digitsEnd == m_pending.size();
    if (!isDigit(m_pending.at(digitsEnd - 1)))
        return atEnd && !quiet ? Verdict::NeedMore : Verdict::No;
    if (atEnd)
        return quiet ? Verdict::Yes : Verdict::NeedMore;
    // What follows a ping begins a message; a text that merely holds "PING_:5" need not.
    return opening(digitsEnd, quiet).verdict;
}

qsizetype StreamFramer::nextBoundary(qsizetype from, bool quiet, Verdict *verdict) {
    // Only where a message's first letter is does a closer look pay.
    QString firsts = QString(kPingStart.front()) + kCallLinePrefix.front();
    for (const QString &start : kReplyStarts)
        firsts += start.front();
    if (m_stage == Stage::Login)
        for (const QString &answer : kLoginAnswers)
            firsts += answer.front();
    for (const QString &text : m_expected)
        firsts += text.front();
    // A text that begins no message now begins none when more text follows it, so a search
    // for the same head goes on where the last one stopped: a long reply is read once.
    for (qsizetype at = std::max(from, m_searchedTo); at <= m_pending.size(); ++at) {
        if (at < m_pending.size() && !firsts.contains(m_pending.at(at)))
            continue;
        *verdict = boundary(at, quiet);
        if (*verdict != Verdict::No) {
            m_searchedTo = at;
            return at;
        }
    }
    return -1;
}

qsizetype StreamFramer::end(const Start &head, bool quiet) {
    qsizetype from = 1;
    switch (head.kind) {
        case Kind::Fixed:
            return head.size;
        case Kind::Ping: {
            const qsizetype digitsEnd = pingEnd(0);
            return digitsEnd < m_pending.size() || quiet ? digitsEnd : -1;
        }
        case Kind::Call:
            from = 0;
            for (int commas = 0; commas < kCallLineCommas; ++commas) {
                from = m_pending.indexOf(u',', from);
                if (from < 0)
                    return -1;
                ++from;
            }
            break;
        case Kind::Reply:
            if (!m_repliesAllowed)
                return quiet ? m_pending.size() : -1;
            break;
    }
    Verdict verdict;
    const qsizetype at = nextBoundary(from, quiet, &verdict);
    if (at < 0)
        return m_pending.size();  // only when quiet: the end of the text is a boundary otherwise
    return verdict == Verdict::Yes ? at : -1;
}

qsizetype StreamFramer::pingEnd(qsizetype at) const {
    qsizetype end = at + kPingStart.size();
    if (end < m_pending.size() && m_pending.at(end) == u'-')
        ++end;
    while (end < m_pending.size() && isDigit(m_pending.at(end)))
        ++end;
    return end;
}

}  // namespace ringwise
