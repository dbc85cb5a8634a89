// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/one_shot.h"

#include <QRandomGenerator>

namespace ringwise {

namespace {

constexpr int kAnswerDeadlineMs = 15000;

}  // namespace

OneShot::OneShot(ServerConnection &connection, ClientCommand command, bool json, QTextStream &out,
                 QTextStream &err, QObject *parent)
    : QObject(parent),
      m_connection(connection),
      m_command(std::move(command)),
      m_json(json),
      m_out(out),
      m_err(err),
      // Unique, so the echo of another client's end mark is never taken for ours.
      m_endMark(QStringLiteral("STATS:ENDX;%1").arg(QRandomGenerator::global()->generate64())) {
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(kAnswerDeadlineMs);
    connect(&m_deadline, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("no answer from ") + m_connection.address()); });
    connect(&connection, &ServerConnection::loggedIn, this, [this] {
        m_connection.send(m_command.request);
        m_deadline.start();
    });
    connect(&connection, &ServerConnection::message, this, &OneShot::onMessage);
    connect(&connection, &ServerConnection::bytesArrived, this,
            &OneShot::sendEndMarkOnceTheAnswerBegins);
    connect(&connection, &ServerConnection::refused, this,
            [this](const QString &reason) { fail(reason, kExitRefused); });
    connect(&connection, &ServerConnection::lost, this, [this](const QString &reason) {
        fail(QStringLiteral("cannot reach %1: %2").arg(m_connection.address(), reason));
    });
}

void OneShot::start() {
    m_deadline.start();
    m_connection.open();
}

void OneShot::onMessage(const QString &text) {
    if (!m_answered && m_command.isAnswer(text)) {
        m_answered = true;
        m_answer = text;
        return;
    }
    if (text != m_endMark || !m_answered)
        return;
    m_deadline.stop();
    m_connection.abort();
    const AnswerOutput output = formatAnswer(m_command, m_answer, m_json);
    if (!output.error.isEmpty()) {
        fail(output.error);
        return;
    }
    m_out << output.text;
    m_out.flush();
    emit finished(kExitDone);
}

void OneShot::sendEndMarkOnceTheAnswerBegins() {
    if (m_endMarkSent || !(m_answered || m_command.isAnswer(m_connection.pending())))
        return;
    // Sent apart from the request, which the server has read by now: it takes one read
    // as one message.
    m_endMarkSent = true;
    m_connection.expect(m_endMark);
    m_connection.send(m_endMark);
}

void OneShot::fail(const QString &reason, int status) {
    m_deadline.stop();
    m_connection.abort();
    m_err << "ringwise-client: " << reason << Qt::endl;
    emit finished(status);
}

}  // namespace ringwise
