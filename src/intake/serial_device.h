// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

#include "call/seams.h"
#include "intake/terminal_port.h"

namespace ringwise {

// What a user who may not read the device must do: join the group that owns it, named when
// it can be looked up.
QString deviceGroupAdvice(const QString &devicePath);

// A caller-ID device's serial port, by default the box's: 2400 bit/s, even parity, 8 data
// bits, 1 stop bit, read only. Every byte received goes on as one Latin-1 character, in
// arrival order. A port that cannot be opened (missing, not permitted, in use by another
// program), or that goes away while open, is reported once and tried again at a fixed
// interval until it opens or close() is called.
class SerialDevice : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultRetryMs = 5000;

    SerialDevice(std::function<void(QChar)> receive, Report report,
                 int retryIntervalMs = kDefaultRetryMs, QObject *parent = nullptr);

    // portText names the port in messages ("COM1 (/dev/ttyS0)"), devicePath is the device.
    // False when the port is not open yet; it is then being retried.
    bool open(const QString &portText, const QString &devicePath);
    // Closes the port and stops retrying.
    void close();
    bool isOpen() const { return m_port.isOpen(); }
    // Takes effect at the next open().
    void setLine(const SerialLine &line) { m_line = line; }
    // False when the port is not open or refused the bytes.
    bool write(const QByteArray &bytes);
    // The device on the open port does not work: closes it and tries again at the retry
    // interval, reporting the problem unless it is nullopt (already reported).
    void closeAndRetry(const std::optional<QString> &problem);
    // The character handed on last must finish its work first: the bytes after it wait,
    // those not read yet in the port's buffer, until releaseInput().
    void holdInput();
    void releaseInput();
    bool isHolding() const { return m_holding; }

signals:
    // The port has opened, at open() or at a retry.
    void opened();

private:
    void retry();
    // Empty when the port has opened; otherwise why it has not.
    QString openPort();
    void startRetrying(const std::optional<QString> &problem);
    void handOn(const QByteArray &bytes);

    std::function<void(QChar)> m_receive;
    Report m_report;
    SerialLine m_line;
    TerminalPort m_port{this};
    QTimer m_retryTimer{this};
    QString m_portText;
    QString m_devicePath;
    bool m_holding = false;
    bool m_failureReported = false;  // the port's own failure, until it opens again
    QByteArray m_held;               // read before the hold began
};

}  // namespace ringwise
