// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QProcess>
#include <QQueue>
#include <QTextStream>
#include <QTimer>

#include "client/call_message.h"

namespace ringwise {

// Runs a program for each call, one run at a time in the order of the calls. The program is
// started directly, never through a shell, with no arguments: the call's fields travel only
// in RINGWISE_* environment variables, so no caller's name can become a command. Its output
// goes to standard error, apart from the calls on standard output. A run longer than
// `timeLimitMs` is killed, and at most `waitingLimit` calls wait for their run; both are said
// on `err`.
class CallRunner : public QObject {
    Q_OBJECT
public:
    CallRunner(QString program, QTextStream &err, int timeLimitMs, int waitingLimit,
               QObject *parent = nullptr);
    void run(const ClientCall &call);

private:
    void startNext();

    QString m_program;
    QTextStream &m_err;
    int m_waitingLimit;
    QProcess m_process;
    QTimer m_timeLimit;
    QQueue<ClientCall> m_waiting;
    ClientCall m_running;
};

}  // namespace ringwise
