// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/private_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace ringwise {

bool makePrivateFolder(const QString &folder) {
    QStringList missing;
    for (QString path = QFileInfo(folder).absoluteFilePath(); !QFileInfo::exists(path);) {
        missing.prepend(path);
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    for (const QString &path : missing)
        QDir().mkdir(path, ownerOnly);
    return QFileInfo(folder).isDir();
}

bool createPrivateFile(const QString &path) {
    QFile file(path);
    if (file.exists())
        return true;
    // NewOnly: a file that appears meanwhile is left as its creator made it.
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner))
        return true;
    return file.exists();
}

}  // namespace ringwise
