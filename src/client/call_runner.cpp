// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/call_runner.h"

#include <unistd.h>

namespace ringwise {

CallRunner::CallRunner(QString program, QTextStream &err, int timeLimitMs, int waitingLimit,
                       QObject *parent)
    : QObject(parent), m_program(std::move(program)), m_err(err), m_waitingLimit(waitingLimit) {
    m_process.setProgram(m_program);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    // Standard output carries the calls (as JSON with --json): the program writes beside it.
    m_process.setChildProcessModifier([] { ::dup2(STDERR_FILENO, STDOUT_FILENO); });
    m_timeLimit.setSingleShot(true);
    m_timeLimit.setInterval(timeLimitMs);
    connect(&m_timeLimit, &QTimer::timeout, this, [this] {
        m_err << "ringwise-client: " << m_program << " ran longer than "
              << m_timeLimit.interval() / 1000.0
              << " s and was stopped; call: " << callText(m_running) << Qt::endl;
        m_process.kill();
    });
    connect(&m_process, &QProcess::started, &m_timeLimit, qOverload<>(&QTimer::start));
    connect(&m_process, &QProcess::finished, this, [this] {
        m_timeLimit.stop();
        startNext();
    });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        m_err << "ringwise-client: cannot run " << m_program << ": " << m_process.errorString()
              << Qt::endl;
        startNext();
    });
}

void CallRunner::run(const ClientCall &call) {
    if (m_waiting.size() >= m_waitingLimit) {
        m_err << "ringwise-client: " << m_program << " not run, " << m_waitingLimit
              << " calls wait for it already; call: " << callText(call) << Qt::endl;
        return;
    }
    m_waiting.enqueue(call);
    startNext();
}

void CallRunner::startNext() {
    if (m_waiting.isEmpty() || m_process.state() != QProcess::NotRunning)
        return;
    m_running = m_waiting.dequeue();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The program has no business with the login.
    environment.remove(QStringLiteral("RINGWISE_PASSWORD"));
    for (const QString &variable : callEnvironment(m_running)) {
        const qsizetype equals = variable.indexOf(QLatin1Char('='));
        environment.insert(variable.left(equals), variable.mid(equals + 1));
    }
    m_process.setProcessEnvironment(environment);
    m_process.start();
}

}  // namespace ringwise
