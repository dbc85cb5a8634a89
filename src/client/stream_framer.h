#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace ringwise {

// Splits the server's stream into messages. The messages carry no terminator: one read
// may hold several and one message may come in pieces, so a message ends where the next
// known message start begins, or, for a message whose whole text is known in advance
// (the login answers, a text the caller expects), as soon as that text is in.
class StreamFramer {
public:
    // Adds bytes (Latin-1, one byte per character) and returns the messages now complete.
    QStringList feed(QByteArrayView bytes);
    // The text after the last complete message: the start of a message still arriving.
    const QString &pending() const { return m_pending; }
    // Hands the pending text out as a message, for a caller that knows the stream is quiet.
    QString takePending();
    // A message with exactly this text is complete as soon as all of it has arrived.
    void expect(const QString &text);

private:
    // Where the pending message ends when its length is known from its start; -1 if not.
    qsizetype knownEnd() const;

    QString m_pending;
    QStringList m_expected;
};

}  // namespace ringwise
