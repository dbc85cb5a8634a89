// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fake_modem.h"

#include <unistd.h>

namespace ringwise::test {

FakeModem::FakeModem(PseudoTerminal &pty)
    : m_pty(pty), m_notifier(pty.masterDescriptor(), QSocketNotifier::Read) {
    connect(&m_notifier, &QSocketNotifier::activated, this, &FakeModem::readCommands);
}

void FakeModem::queueAnswer(const QString &command, const QByteArray &answer) {
    m_answers[command] << answer;
}

void FakeModem::readCommands() {
    char buffer[256];
    const ssize_t got = ::read(m_pty.masterDescriptor(), buffer, sizeof buffer);
    if (got <= 0)
        return;
    m_received.append(buffer, got);
    qsizetype end;
    while ((end = m_received.indexOf('\r')) >= 0) {
        const QString command = QString::fromLatin1(m_received.left(end));
        m_received.remove(0, end + 1);
        m_commands << command;
        if (m_silent)
            continue;
        QList<QByteArray> &queued = m_answers[command];
        const QByteArray answer = queued.isEmpty() ? QByteArray("OK") : queued.takeFirst();
        m_pty.write((m_echo ? command.toLatin1() + "\r\r\n" : QByteArray("\r\n")) + answer +
                    "\r\n");
    }
}

}  // namespace ringwise::test
