// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/terminal_port.h"

// The kernel's termios2 sets any speed in bit/s; it cannot share a file with <termios.h>.
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/major.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include <QFile>

#include "call/system_error.h"

namespace ringwise {

const QString TerminalPort::kInUseText = QStringLiteral("it is in use by another program");

namespace {

bool isPseudoTerminal(int descriptor) {
    struct stat info = {};
    if (::fstat(descriptor, &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const unsigned int deviceMajor = major(info.st_rdev);
    return deviceMajor >= UNIX98_PTY_SLAVE_MAJOR &&
           deviceMajor < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT;
}

// A line that hung up (an unplugged adapter, a pseudo-terminal whose other side closed)
// reads end-of-file or an input/output error.
bool isHungUp(int descriptor) {
    pollfd watched = {descriptor, POLLIN, 0};
    return ::poll(&watched, 1, 0) > 0 && (watched.revents & POLLHUP) != 0;
}

// Raw bytes at the line's speed and parity, 8 data bits, 1 stop bit, no flow control.
// Empty when the terminal took the settings.
QString configure(int descriptor, qint32 baudRate, SerialLine::Parity parity) {
    termios2 settings = {};
    if (::ioctl(descriptor, TCGETS2, &settings) != 0)
        return systemErrorText(errno);
    settings.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= CS8 | CLOCAL | CREAD | BOTHER;
    if (parity == SerialLine::Parity::Even)
        settings.c_cflag |= PARENB;
    settings.c_ispeed = settings.c_ospeed = static_cast<speed_t>(baudRate);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return ::ioctl(descriptor, TCSETS2, &settings) == 0 ? QString() : systemErrorText(errno);
}

}  // namespace

TerminalPort::TerminalPort(QObject *parent) : QObject(parent) {
    connect(&m_reader, &QSocketNotifier::activated, this, &TerminalPort::readBytes);
}

TerminalPort::~TerminalPort() {
    close();
}

QString TerminalPort::open(const QString &devicePath, const SerialLine &line) {
    close();
    const int descriptor =
        ::open(QFile::encodeName(devicePath).constData(),
               (line.writable ? O_RDWR : O_RDONLY) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // Busy: another program holds the line in exclusive mode.
    if (descriptor < 0)
        return errno == EBUSY ? kInUseText : systemErrorText(errno);
    const bool pseudoTerminal = isPseudoTerminal(descriptor);
    QString problem;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0)
        problem = errno == EWOULDBLOCK ? kInUseText : systemErrorText(errno);
    else if (!pseudoTerminal && ::ioctl(descriptor, TIOCEXCL) != 0)
        problem = systemErrorText(errno);
    else
        // A pseudo-terminal carries bytes, not framed characters, and keeps no parity bit.
        problem = configure(descriptor, line.baudRate,
                            pseudoTerminal ? SerialLine::Parity::None : line.parity);
    if (!problem.isEmpty()) {
        ::close(descriptor);
        return problem;
    }
    m_descriptor = descriptor;
    m_reader.setSocket(descriptor);
    m_reader.setEnabled(true);
    return QString();
}

void TerminalPort::close() {
    if (m_descriptor < 0)
        return;
    m_reader.setEnabled(false);
    // Another program that has the line open as well must not find it exclusive.
    ::ioctl(m_descriptor, TIOCNXCL);
    ::close(m_descriptor);
    m_descriptor = -1;
}

bool TerminalPort::write(const QByteArray &bytes) {
    qsizetype done = 0;
    while (isOpen() && done < bytes.size()) {
        const ssize_t written =
            ::write(m_descriptor, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return isOpen();
}

void TerminalPort::setReading(bool reading) {
    if (isOpen())
        m_reader.setEnabled(reading);
}

void TerminalPort::readBytes() {
    // One read a notification: a device that floods its line cannot hold the event loop,
    // and what is left raises the notifier again.
    char buffer[4096];
    ssize_t size = 0;
    do
        size = ::read(m_descriptor, buffer, sizeof buffer);
    while (size < 0 && errno == EINTR);
    if (size > 0) {
        emit received(QByteArray(buffer, size));
        return;
    }
    if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return;
    const int error = size < 0 ? errno : 0;
    const QString reason =
        error == 0 || isHungUp(m_descriptor)
            ? QStringLiteral("the device hung up or its other side closed")
            : QStringLiteral("it can no longer be read (%1)").arg(systemErrorText(error));
    close();
    emit lost(reason);
}

}  // namespace ringwise
