// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

#include "support/temp_environment.h"

namespace ringwise::test {

// The real server binary run headless in a temporary environment, listening on any free
// loopback port unless told otherwise.
class ServerProcess {
public:
    explicit ServerProcess(QString binaryPath);
    ~ServerProcess();

    TempEnvironment &environment() { return m_environment; }
    // Writes one key into the settings file the server will read.
    void setSetting(const QString &key, const QString &value);
    // Where the server listens, as address:port (port 0: any free one); ":port" keeps the
    // ServerListen setting's address; empty: ServerListen and ServerPort.
    void setListen(const QString &addressAndPort);
    void start(const QStringList &arguments = {QStringLiteral("--headless")});
    // Waits until the server reports that it listens, and on which port.
    bool waitUntilListening();
    quint16 port() const { return m_port; }
    bool waitForExit();
    void terminate();

    QProcess &process() { return m_process; }
    QByteArray standardOutput();
    QByteArray standardError();

private:
    QString m_binaryPath;
    TempEnvironment m_environment;
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
    quint16 m_port = 0;
};

}  // namespace ringwise::test
