// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/single_instance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QLocalSocket>

#include "call/system_error.h"

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

SingleInstance::Folder SingleInstance::defaultFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return {runtime, QString()};
    const QString own = QDir::temp().filePath(QStringLiteral("ringwise-%1").arg(::getuid()));
    const QByteArray path = QFile::encodeName(own);
    struct stat info = {};
    QString problem;
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        problem = systemErrorText();
    else if (::lstat(path.constData(), &info) != 0)
        problem = systemErrorText();
    else if (!S_ISDIR(info.st_mode))
        problem = QStringLiteral("it is not a folder");
    else if (info.st_uid != ::getuid())
        problem = QStringLiteral("it belongs to another user");
    else if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        problem = QStringLiteral("other users may use it (mode %1)")
                      .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
    if (problem.isEmpty())
        return {own, QString()};
    return {own, QStringLiteral("The folder %1 for the lock and the socket of the running window "
                                "is refused: %2. Set XDG_RUNTIME_DIR, or remove the folder.")
                     .arg(own, problem)};
}

}  // namespace ringwise
