#include "support/mqtt_broker.h"

#include <pwd.h>
#include <unistd.h>

#include <QFile>
#include <QTcpServer>

namespace ringwise::test {

namespace {

quint16 freeLoopbackPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

}  // namespace

MqttBroker::MqttBroker() : m_port(freeLoopbackPort()) {
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

MqttBroker::~MqttBroker() {
    m_process.kill();
    m_process.waitForFinished();
}

void MqttBroker::requireUser(const QString &user, const QString &password) {
    m_passwordFile = m_dir.filePath(QStringLiteral("passwords"));
    QProcess::execute(QStringLiteral("mosquitto_passwd"),
                      {QStringLiteral("-b"), QStringLiteral("-c"), m_passwordFile, user, password});
}

bool MqttBroker::start() {
    const QString config = m_dir.filePath(QStringLiteral("mosquitto.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Started by root, the broker would become the user "mosquitto", who cannot read this
    // folder; it stays whoever runs the test.
    QByteArray text = "user " + QByteArray(getpwuid(getuid())->pw_name) + "\nlistener " +
                      QByteArray::number(m_port) +
                      " 127.0.0.1\npersistence true\npersistence_location " +
                      m_dir.path().toUtf8() + "/\nlog_dest stderr\n";
    text += m_passwordFile.isEmpty() ? QByteArray("allow_anonymous true\n")
                                     : "password_file " + m_passwordFile.toUtf8() + "\n";
    file.write(text);
    file.close();
    m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config});
    QByteArray log;
    while (!log.contains(" running") && m_process.waitForReadyRead(5000))
        log += m_process.readAll();
    return log.contains(" running");
}

void MqttBroker::stop() {
    m_process.terminate();
    m_process.waitForFinished();
}

MqttSubscriber::MqttSubscriber(quint16 port, const QStringList &arguments) {
    // Written to a pipe, mosquitto_sub's lines would wait in its buffer until it ends.
    m_process.start(QStringLiteral("stdbuf"),
                    QStringList{QStringLiteral("-oL"), QStringLiteral("mosquitto_sub"),
                                QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                                QStringLiteral("-p"), QString::number(port), QStringLiteral("-v"),
                                QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-d")} +
                        arguments);
}

MqttSubscriber::~MqttSubscriber() {
    m_process.kill();
    m_process.waitForFinished();
}

bool MqttSubscriber::waitUntilSubscribed() {
    while (!m_out.contains("received SUBACK") && m_process.waitForReadyRead(5000))
        m_out += m_process.readAllStandardOutput();
    return m_out.contains("received SUBACK");
}

QStringList MqttSubscriber::messages() {
    m_out += m_process.readAllStandardOutput();
    QStringList messages;
    // -d mixes the client's own notes in: "Client ... received PUBLISH (...)" and the like.
    for (const QByteArray &line : m_out.split('\n')) {
        if (!line.isEmpty() && !line.startsWith("Client ") && !line.startsWith("Subscribed"))
            messages << QString::fromUtf8(line);
    }
    return messages;
}

}  // namespace ringwise::test
