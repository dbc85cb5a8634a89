// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTextStream>
#include <QTimer>

#include "client/client_command.h"
#include "client/exit_status.h"
#include "client/server_connection.h"

namespace ringwise {

// Sends one request and prints its answer. The answer has no terminator, so once it has
// begun to arrive a second request goes out that the server echoes unchanged (a
// statistics view it does not know); the answer ends where that echo begins.
class OneShot : public QObject {
    Q_OBJECT
public:
    OneShot(ServerConnection &connection, ClientCommand command, bool json, QTextStream &out,
            QTextStream &err, QObject *parent = nullptr);
    void start();

signals:
    void finished(int status);

private:
    void onMessage(const QString &text);
    void sendEndMarkOnceTheAnswerBegins();
    void fail(const QString &reason, int status = kExitUnreachable);

    ServerConnection &m_connection;
    ClientCommand m_command;
    bool m_json;
    QTextStream &m_out;
    QTextStream &m_err;
    QString m_endMark;
    QString m_answer;
    bool m_answered = false;
    bool m_endMarkSent = false;
    QTimer m_deadline;
};

}  // namespace ringwise
