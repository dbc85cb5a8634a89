// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

namespace ringwise {

// One desktop program per user: the first start holds a lock file and listens on a local
// socket beside it; a later start finds the lock, asks the first to come to the front
// through the socket and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // folder: where the lock and the socket live, normally $XDG_RUNTIME_DIR.
    explicit SingleInstance(const QString &folder, QObject *parent = nullptr);

    // True when this process is the one instance; it then listens for later starts.
    bool claim();
    // Asks the running instance to come to the front; false when none answered.
    bool activateRunning();

    // Where the lock and the socket live: $XDG_RUNTIME_DIR, or without it the folder
    // ringwise-UID in the temporary folder, created with mode 0700. Whoever may write that
    // folder could plant a lock or a socket there, so a folder of another user's, or one open
    // to others, is refused: refusal then says why.
    struct Folder {
        QString path;
        QString refusal;
    };
    static Folder defaultFolder();

signals:
    // A later start asked for the window.
    void activationRequested();

private:
    QString m_socketPath;
    QLockFile m_lock;
    QLocalServer m_server;
};

}  // namespace ringwise
