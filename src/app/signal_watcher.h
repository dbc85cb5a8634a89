#pragma once

#include <QObject>

class QSocketNotifier;

namespace ringwise {

// Turns SIGINT and SIGTERM into a Qt signal on the event thread (self-pipe).
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    static void handle(int signalNumber);
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

}  // namespace ringwise
