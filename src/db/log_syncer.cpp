// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/log_syncer.h"

#include <unistd.h>

#include <cerrno>

namespace ringwise {

int syncFileData(int descriptor) {
    return ::fdatasync(descriptor) == 0 ? 0 : errno;
}

LogSyncer::LogSyncer(SyncFile syncFile, QObject *parent)
    : QObject(parent), m_syncFile(std::move(syncFile)), m_thread([this] { run(); }) {}

LogSyncer::~LogSyncer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void LogSyncer::sync(std::shared_ptr<const LogFile> log) {
    {
        std::lock_guard lock(m_mutex);
        m_pending = std::move(log);
        m_pendingNumber = ++m_lastRequested;
    }
    m_wake.notify_one();
}

void LogSyncer::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_pending || m_stopping; });
        if (!m_pending)
            return;
        const std::shared_ptr<const LogFile> log = std::move(m_pending);
        const quint64 number = m_pendingNumber;
        lock.unlock();
        const int error = m_syncFile(log->descriptor());
        // Dropped when this object is destroyed first: nobody is left to tell.
        QMetaObject::invokeMethod(
            this,
            [this, number, error] {
                m_lastServed = number;
                emit flushed(error);
            },
            Qt::QueuedConnection);
        lock.lock();
    }
}

}  // namespace ringwise
