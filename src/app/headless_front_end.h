// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTextStream>
#include <QTimer>

#include "core/service.h"

namespace ringwise {

// The service without windows: device output and socket error lines go to standard
// output as they are appended, messages to standard error as "title: text", a fatal
// path ends the event loop with status 1. The journal takes a line only at its end, and a
// service's standard output and error share one stream to it: a line the device leaves
// open (a call, a ring) is ended once the device has been quiet for a moment, and before
// anything else is written, so each event reaches the journal when it happens, alone.
class HeadlessFrontEnd : public QObject {
    Q_OBJECT
public:
    explicit HeadlessFrontEnd(Service &service, QObject *parent = nullptr);

    // Ends the open device output line and writes what waits for the end of the event
    // loop's pass, so that what is written next starts a line of its own after it.
    void endLine();

private:
    void appendDeviceOutput(QString text);
    void flushOutput();
    void showHostingLabels(const HostingLabels &labels);

    HostingLabels m_shown;
    QString m_countShown = m_shown.connections;
    bool m_countPending = false;
    bool m_flushPending = false;
    bool m_lineOpen = false;
    QTimer m_quietDevice;
    QTextStream m_out;
    QTextStream m_err;
};

}  // namespace ringwise
