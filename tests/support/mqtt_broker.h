// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace ringwise::test {

// A real mosquitto on a free loopback port, its configuration, password file and saved
// sessions in a temporary folder. stop() ends it cleanly: the sessions are kept for start().
class MqttBroker {
public:
    MqttBroker();
    ~MqttBroker() { stop(); }
    quint16 port() const { return m_port; }
    // Only this user may connect from the next start on.
    void requireUser(const QString &user, const QString &password);
    bool start();  // true once it runs
    void stop();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_passwordFile;
};

// mosquitto_sub on the broker; `arguments` (topics, session, user) follow host and port.
class MqttSubscriber {
public:
    MqttSubscriber(quint16 port, const QStringList &arguments);
    ~MqttSubscriber() {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool waitUntilSubscribed();  // true once the broker has confirmed
    QStringList messages();      // received so far, "topic payload" each

private:
    QProcess m_process;
    QByteArray m_out;
};

}  // namespace ringwise::test
