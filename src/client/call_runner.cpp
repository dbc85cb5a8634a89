#include "client/call_runner.h"

namespace ringwise {

CallRunner::CallRunner(QString program, QTextStream &err, QObject *parent)
    : QObject(parent), m_program(std::move(program)), m_err(err) {
    m_process.setProgram(m_program);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    connect(&m_process, &QProcess::finished, this, &CallRunner::startNext);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        m_err << "ringwise-client: cannot run " << m_program << ": " << m_process.errorString()
              << Qt::endl;
        startNext();
    });
}

void CallRunner::run(const ClientCall &call) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The program has no business with the login.
    environment.remove(QStringLiteral("RINGWISE_PASSWORD"));
    for (const QString &variable : callEnvironment(call)) {
        const qsizetype equals = variable.indexOf(QLatin1Char('='));
        environment.insert(variable.left(equals), variable.mid(equals + 1));
    }
    m_waiting.enqueue(environment);
    startNext();
}

void CallRunner::startNext() {
    if (m_waiting.isEmpty() || m_process.state() != QProcess::NotRunning)
        return;
    m_process.setProcessEnvironment(m_waiting.dequeue());
    m_process.start();
}

}  // namespace ringwise
