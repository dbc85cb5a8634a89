// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/mqtt_broker.h"

#include <pwd.h>
#include <unistd.h>

#include <QFile>
#include <QTcpServer>

namespace ringwise::test {

MqttBroker::MqttBroker() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    m_port = probe.serverPort();
}

void MqttBroker::requireUser(const QString &user, const QString &password) {
    m_passwordFile = m_dir.filePath(QStringLiteral("passwords"));
    QProcess::execute("mosquitto_passwd", {"-b", "-c", m_passwordFile, user, password});
}

bool MqttBroker::start() {
    QFile config(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    // Started by root, it would become the user "mosquitto", who cannot read this folder.
    const QByteArray text =
        "user " + QByteArray(getpwuid(getuid())->pw_name) + "\nlistener " +
        QByteArray::number(m_port) + " 127.0.0.1\npersistence true\npersistence_location " +
        m_dir.path().toUtf8() + "/\nlog_dest stderr\n" +
        (m_passwordFile.isEmpty() ? QByteArray("allow_anonymous true\n")
                                  : "password_file " + m_passwordFile.toUtf8() + "\n");
    if (!config.open(QIODevice::WriteOnly) || config.write(text) != text.size())
        return false;
    config.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start("mosquitto", {"-c", config.fileName()});
    QByteArray log;
    while (!log.contains(" running") && m_process.waitForReadyRead(5000))
        log += m_process.readAll();
    // The port was free when picked; another program may have taken it since.
    if (log.contains("Address already in use"))
        qWarning("mosquitto: port %u was taken before it could listen", unsigned(m_port));
    return log.contains(" running");
}

void MqttBroker::stop() {
    m_process.terminate();
    m_process.waitForFinished();
}

MqttSubscriber::MqttSubscriber(quint16 port, const QStringList &arguments) {
    // stdbuf: written to a pipe, its lines would wait in its buffer until it ends.
    m_process.start("stdbuf", QStringList{"-oL", "mosquitto_sub", "-h", "127.0.0.1", "-p",
                                          QString::number(port), "-v", "-q", "1", "-d"} +
                                  arguments);
}

bool MqttSubscriber::waitUntilSubscribed() {
    while (!m_out.contains("received SUBACK") && m_process.waitForReadyRead(5000))
        m_out += m_process.readAllStandardOutput();
    return m_out.contains("received SUBACK");
}

QStringList MqttSubscriber::messages() {
    m_out += m_process.readAllStandardOutput();
    QStringList messages;
    // -d mixes in its own notes: "Client ... received PUBLISH ...", "Subscribed ...".
    for (const QByteArray &line : m_out.split('\n')) {
        if (!line.isEmpty() && !line.startsWith("Client ") && !line.startsWith("Subscribed"))
            messages << QString::fromUtf8(line);
    }
    return messages;
}

}  // namespace ringwise::test
