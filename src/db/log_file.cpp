// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/log_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "db/database_error.h"

namespace ringwise {

LogFile::LogFile(const QString &path)
    : m_descriptor(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)) {
    if (m_descriptor < 0)
        throw DatabaseError(SQLITE_CANTOPEN,
                            QStringLiteral("The log %1 cannot be opened: %2")
                                .arg(path, QString::fromLocal8Bit(::strerror(errno))));
}

LogFile::~LogFile() {
    ::close(m_descriptor);
}

}  // namespace ringwise
