#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

#include "support/temp_environment.h"

namespace ringwise::test {

// The real server binary run headless in a temporary environment.
class ServerProcess {
public:
    explicit ServerProcess(QString binaryPath);
    ~ServerProcess();

    TempEnvironment &environment() { return m_environment; }
    // Writes one key into the settings file the server will read.
    void setSetting(const QString &key, const QString &value);
    void start(const QStringList &arguments = {QStringLiteral("--headless")});
    // Waits until the server reports that it listens.
    bool waitUntilListening();
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
};

}  // namespace ringwise::test
