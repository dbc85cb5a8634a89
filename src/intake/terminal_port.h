// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

namespace ringwise {

// How a port is opened: speed, parity, and whether the device is written to. Data bits are
// always 8, stop bits 1, flow control none.
struct SerialLine {
    enum class Parity { None, Even };

    qint32 baudRate = 2400;
    // A pseudo-terminal standing in for the device is always opened without parity.
    Parity parity = Parity::Even;
    bool writable = false;
};

// A serial device's terminal, opened raw at the line's settings; its bytes are handed on as
// they arrive. While it is open no second program opens the device: the port holds an
// exclusive lock on it (flock), which ends with the process however that ends, and a real
// line is also put in the terminal's exclusive mode (TIOCEXCL) against programs that do not
// lock. A pseudo-terminal is never put in exclusive mode: the mode outlives a killed process
// while the other side stays open, and only root could open the device again.
class TerminalPort : public QObject {
    Q_OBJECT
public:
    static const QString kInUseText;

    explicit TerminalPort(QObject *parent = nullptr);
    ~TerminalPort() override;

    // Empty when the port is open; otherwise why it is not ("No such file or directory",
    // kInUseText).
    QString open(const QString &devicePath, const SerialLine &line);
    void close();
    bool isOpen() const { return m_descriptor >= 0; }
    // False when the port is not open or did not take every byte.
    bool write(const QByteArray &bytes);
    // While off, the device's bytes wait in the system's buffer of the port. On at open().
    void setReading(bool reading);

signals:
    void received(const QByteArray &bytes);
    // The device went away or cannot be read any more; the port is closed already.
    void lost(const QString &reason);

private:
    void readBytes();

    int m_descriptor = -1;
    QSocketNotifier m_reader{QSocketNotifier::Read, this};
};

}  // namespace ringwise
