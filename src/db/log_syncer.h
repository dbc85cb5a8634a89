// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "db/log_file.h"

namespace ringwise {

// Flushes a file's data to the disk through its descriptor; 0, or the error number.
using SyncFile = std::function<int(int descriptor)>;

int syncFileData(int descriptor);

// Flushes the write-ahead log to the disk on a thread of its own, the one thread besides the
// event loop's: the disk may take milliseconds, and meanwhile the event loop goes on serving
// clients. A flush asked for while one runs is done once more after it, so that everything
// committed before the last request is on the disk when busy() turns false.
class LogSyncer : public QObject {
    Q_OBJECT
public:
    explicit LogSyncer(SyncFile syncFile = syncFileData, QObject *parent = nullptr);
    // Finishes the flush asked for last, so nothing committed is left unflushed at exit.
    ~LogSyncer() override;

    void sync(std::shared_ptr<const LogFile> log);
    // A flush asked for has not finished yet.
    bool busy() const { return m_lastServed != m_lastRequested; }

signals:
    // On the owner's thread, after each flush; error is 0 or the error number.
    void flushed(int error);

private:
    void run();

    SyncFile m_syncFile;
    // The owner's thread only: requests are numbered, and the thread says which it served.
    quint64 m_lastRequested = 0;
    quint64 m_lastServed = 0;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::shared_ptr<const LogFile> m_pending;  // guarded by m_mutex
    quint64 m_pendingNumber = 0;               // guarded by m_mutex
    bool m_stopping = false;                   // guarded by m_mutex
    std::thread m_thread;                      // last: starts once the rest exists
};

}  // namespace ringwise
