#include "client/stream_framer.h"

#include <array>

namespace ringwise {

namespace {

const QString kGreetingStart = QStringLiteral("Welcome to Ringwise Server [");

// Every text the server begins a message with.
const std::array<QString, 8> kStarts = {
    QStringLiteral("CALL_:"),
    QStringLiteral("PING_:"),
    QStringLiteral("STATS:"),
    QStringLiteral("CNTAC:"),
    kGreetingStart,
    QStringLiteral("Password accepted."),
    QStringLiteral("Invalid password."),
    QStringLiteral("Password not received. Disconnecting."),
};

// The starts from here on are whole messages by themselves.
constexpr int kFirstFixedText = 5;

// The first position after `from` where a known start begins.
qsizetype nextStart(const QString &text, qsizetype from) {
    qsizetype best = -1;
    for (const QString &start : kStarts) {
        const qsizetype at = text.indexOf(start, from);
        if (at >= 0 && (best < 0 || at < best))
            best = at;
    }
    return best;
}

}  // namespace

QStringList StreamFramer::feed(QByteArrayView bytes) {
    m_pending += QString::fromLatin1(bytes);
    QStringList messages;
    for (;;) {
        qsizetype end = knownEnd();
        if (end < 0)
            end = nextStart(m_pending, 1);
        if (end < 0)
            break;
        messages.append(m_pending.left(end));
        m_pending.remove(0, end);
    }
    return messages;
}

QString StreamFramer::takePending() {
    QString message;
    message.swap(m_pending);
    return message;
}

void StreamFramer::expect(const QString &text) {
    m_expected.append(text);
}

qsizetype StreamFramer::knownEnd() const {
    for (int i = kFirstFixedText; i < int(kStarts.size()); ++i)
        if (m_pending.startsWith(kStarts[i]))
            return kStarts[i].size();
    for (const QString &text : m_expected)
        if (m_pending.startsWith(text))
            return text.size();
    if (m_pending.startsWith(kGreetingStart)) {
        const qsizetype bracket = m_pending.indexOf(QLatin1Char(']'), kGreetingStart.size());
        return bracket < 0 ? -1 : bracket + 1;
    }
    return -1;
}

}  // namespace ringwise
