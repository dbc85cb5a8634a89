#pragma once

#include <QObject>
#include <QProcess>
#include <QQueue>
#include <QTextStream>

#include "client/call_message.h"

namespace ringwise {

// Runs a program for each call, one run at a time in the order of the calls. The program is
// started directly, never through a shell, with no arguments: the call's fields travel only
// in RINGWISE_* environment variables, so no caller's name can become a command.
class CallRunner : public QObject {
    Q_OBJECT
public:
    CallRunner(QString program, QTextStream &err, QObject *parent = nullptr);
    void run(const ClientCall &call);

private:
    void startNext();

    QString m_program;
    QTextStream &m_err;
    QProcess m_process;
    QQueue<QProcessEnvironment> m_waiting;  // the environment of each call not yet run
};

}  // namespace ringwise
