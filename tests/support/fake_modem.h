// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>

#include "support/pseudo_terminal.h"

namespace ringwise::test {

// A modem on the master side of a pseudo-terminal: it reads each command the server writes
// (ended by CR) and answers "OK", or the answers queued for that command first.
class FakeModem : public QObject {
    Q_OBJECT
public:
    explicit FakeModem(PseudoTerminal &pty);

    // The next time `command` comes, `answer` is sent instead of "OK".
    void queueAnswer(const QString &command, const QByteArray &answer);
    // A silent modem reads but never answers.
    void setSilent(bool silent) { m_silent = silent; }
    // Each command is sent back before its answer, as with echo on.
    void setEcho(bool echo) { m_echo = echo; }
    QStringList commands() const { return m_commands; }

private:
    void readCommands();

    PseudoTerminal &m_pty;
    QSocketNotifier m_notifier;
    QByteArray m_received;
    QHash<QString, QList<QByteArray>> m_answers;
    QStringList m_commands;
    bool m_silent = false;
    bool m_echo = false;
};

}  // namespace ringwise::test
