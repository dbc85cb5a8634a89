#pragma once

#include <QObject>
#include <QTextStream>

#include "core/service.h"

namespace ringwise {

// The service without windows: device output and socket error lines go to standard
// output as they are appended, messages to standard error as "title: text", a fatal
// path ends the event loop with status 1.
class HeadlessFrontEnd : public QObject {
    Q_OBJECT
public:
    explicit HeadlessFrontEnd(Service &service, QObject *parent = nullptr);

    // Writes the device output that waits for the end of the event loop's pass, so that
    // what is written next comes after it.
    void flushOutput();

private:
    void showHostingLabels(const HostingLabels &labels);

    HostingLabels m_shown;
    QString m_countShown = m_shown.connections;
    bool m_countPending = false;
    bool m_flushPending = false;
    QTextStream m_out;
    QTextStream m_err;
};

}  // namespace ringwise
