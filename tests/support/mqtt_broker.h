#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace ringwise::test {

// A real mosquitto broker on a free loopback port, with its own configuration, password file
// and saved sessions in a temporary folder; stopped by the destructor.
class MqttBroker {
public:
    MqttBroker();
    ~MqttBroker();

    quint16 port() const { return m_port; }
    // Only this user may connect from the next start on.
    void requireUser(const QString &user, const QString &password);
    // Starts the broker and waits until it runs; false when it did not.
    bool start();
    // Stops it cleanly: it saves its sessions and keeps them for the next start.
    void stop();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_passwordFile;
};

// mosquitto_sub on the broker, printing "topic payload" for each message it receives.
class MqttSubscriber {
public:
    // `arguments` come after the host and port: topics, a session of its own, a user.
    MqttSubscriber(quint16 port, const QStringList &arguments);
    ~MqttSubscriber();
    // Waits until the broker has confirmed the subscription.
    bool waitUntilSubscribed();
    // The messages received so far, "topic payload" each.
    QStringList messages();

private:
    QProcess m_process;
    QByteArray m_out;
};

}  // namespace ringwise::test
