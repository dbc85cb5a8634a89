#include "ui/single_instance.h"

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QLocalSocket>

namespace ringwise {

namespace {

// How long a later start waits for the running instance to answer.
constexpr int kAnswerMs = 5000;
const QByteArray kRequest = QByteArrayLiteral("show\n");
const QByteArray kAnswer = QByteArrayLiteral("ok\n");

}  // namespace

SingleInstance::SingleInstance(const QString &folder, QObject *parent)
    : QObject(parent),
      m_socketPath(QDir(folder).filePath(QStringLiteral("ringwise-server.socket"))),
      m_lock(QDir(folder).filePath(QStringLiteral("ringwise-server.lock"))) {
    // A lock is stale only when its process is gone, never by age.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                socket->readAll();
                emit activationRequested();
                socket->write(kAnswer);
                socket->disconnectFromServer();
            });
        }
    });
}

bool SingleInstance::claim() {
    if (!m_lock.tryLock(0))
        return false;
    // The lock is ours, so a socket left behind is a dead instance's.
    QLocalServer::removeServer(m_socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(m_socketPath);
}

bool SingleInstance::activateRunning() {
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(kAnswerMs))
        return false;
    socket.write(kRequest);
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kAnswerMs))
            return false;
    }
    return socket.readLine() == kAnswer;
}

QString SingleInstance::defaultFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime;
    const QString own = QDir::temp().filePath(QStringLiteral("ringwise-%1").arg(getuid()));
    QDir().mkpath(own);
    QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return own;
}

}  // namespace ringwise
