// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace ringwise {

class BlockedSignals;

// Turns the blocked SIGINT and SIGTERM into a Qt signal on the event thread: the kernel
// queues them on a signalfd, which the event loop watches.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(const BlockedSignals &blocked, QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignals();

    int m_descriptor = -1;
    QSocketNotifier *m_notifier = nullptr;
};

}  // namespace ringwise
