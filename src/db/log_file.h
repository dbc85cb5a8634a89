// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ringwise {

// The write-ahead log opened once more, read-only, so that another thread can flush it to
// the disk: the data of a file is flushed through any descriptor of it, and this one
// belongs to the program, not to SQLite, whose own handles are not safe to use from a
// second thread. Shared by whoever flushes, it stays open until the last of them lets go.
class LogFile {
public:
    // Throws DatabaseError.
    explicit LogFile(const QString &path);
    ~LogFile();
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    int descriptor() const { return m_descriptor; }

private:
    int m_descriptor = -1;
};

}  // namespace ringwise
