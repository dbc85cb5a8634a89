// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/server_process.h"

#include <signal.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSettings>

namespace ringwise::test {

ServerProcess::ServerProcess(QString binaryPath) : m_binaryPath(std::move(binaryPath)) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_environment.configHome());
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_environment.dataHome());
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("RINGWISE_LISTEN"), QStringLiteral("127.0.0.1:0"));
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_environment.root());
}

ServerProcess::~ServerProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void ServerProcess::setSetting(const QString &key, const QString &value) {
    QSettings settings(m_environment.settingsPath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Settings/") + key, value);
}

void ServerProcess::setListen(const QString &addressAndPort) {
    QProcessEnvironment env = m_process.processEnvironment();
    env.insert(QStringLiteral("RINGWISE_LISTEN"), addressAndPort);
    m_process.setProcessEnvironment(env);
}

void ServerProcess::start(const QStringList &arguments) {
    // Servers run side by side: none takes the web page's usual port unless a test asks (a
    // test that names its own settings file sets it there).
    const QString webPort = QStringLiteral("Settings/ServerWebPort");
    if (!arguments.contains(QStringLiteral("--config")) &&
        !QSettings(m_environment.settingsPath(), QSettings::IniFormat).contains(webPort))
        setSetting(QStringLiteral("ServerWebPort"), QStringLiteral("0"));
    m_process.start(m_binaryPath, arguments);
}

bool ServerProcess::waitUntilListening() {
    QElapsedTimer timer;
    timer.start();
    static const QRegularExpression hosting(
        QStringLiteral("Is hosting\\? Yes .* Local port: (\\d+)\n"));
    QRegularExpressionMatch match;
    while (!(match = hosting.match(QString::fromLatin1(standardOutput()))).hasMatch()) {
        if (m_process.state() == QProcess::NotRunning || timer.elapsed() > 10000)
            return false;
        m_process.waitForReadyRead(200);
    }
    m_port = match.captured(1).toUShort();
    return true;
}

bool ServerProcess::waitForExit() {
    return m_process.waitForFinished(10000);
}

void ServerProcess::terminate() {
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
}

QByteArray ServerProcess::standardOutput() {
    m_out += m_process.readAllStandardOutput();
    return m_out;
}

QByteArray ServerProcess::standardError() {
    m_err += m_process.readAllStandardError();
    return m_err;
}

}  // namespace ringwise::test
