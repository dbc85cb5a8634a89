#include "intake/serial_device.h"

#include <grp.h>
#include <linux/major.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include <QFile>

namespace ringwise {

namespace {

bool isPseudoTerminal(const QString &devicePath) {
    struct stat info = {};
    if (::stat(QFile::encodeName(devicePath).constData(), &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const unsigned int deviceMajor = major(info.st_rdev);
    return deviceMajor >= UNIX98_PTY_SLAVE_MAJOR &&
           deviceMajor < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT;
}

bool isPermissionDenied(const QString &devicePath) {
    return ::access(QFile::encodeName(devicePath).constData(), R_OK) != 0 && errno == EACCES;
}

// A line that hung up (an unplugged adapter, a pseudo-terminal whose other side closed)
// reads end-of-file, which leaves a stale system text in the port's error.
bool isHungUp(int descriptor) {
    pollfd watched = {descriptor, POLLIN, 0};
    return ::poll(&watched, 1, 0) > 0 && (watched.revents & POLLHUP) != 0;
}

}  // namespace

QString deviceGroupAdvice(const QString &devicePath) {
    // Joining the group only helps when the group may read the device.
    struct stat info = {};
    const group *owner = ::stat(QFile::encodeName(devicePath).constData(), &info) == 0 &&
                                 (info.st_mode & S_IRGRP) != 0
                             ? ::getgrgid(info.st_gid)
                             : nullptr;
    if (!owner)
        return QStringLiteral(
            "The user running the server must be in the group that owns the device (dialout "
            "on Debian), then log in again.");
    const passwd *user = ::getpwuid(::geteuid());
    const QString groupName = QString::fromLocal8Bit(owner->gr_name);
    const QString userName = user ? QString::fromLocal8Bit(user->pw_name) : QStringLiteral("$USER");
    return QStringLiteral(
               "The user running the server must be in the group \"%1\" that owns the device "
               "(sudo usermod -aG %1 %2), then log in again.")
        .arg(groupName, userName);
}

SerialDevice::SerialDevice(std::function<void(QChar)> receive, Report report, int retryIntervalMs,
                           QObject *parent)
    : QObject(parent), m_receive(std::move(receive)), m_report(std::move(report)) {
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_retryTimer.setInterval(retryIntervalMs);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialDevice::readBytes);
    // Queued: the port must not be closed from inside its own read notification.
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialDevice::handleError,
            Qt::QueuedConnection);
    connect(&m_retryTimer, &QTimer::timeout, this, &SerialDevice::retry);
}

bool SerialDevice::open(const QString &portText, const QString &devicePath) {
    close();
    m_portText = portText;
    m_devicePath = devicePath;
    m_port.setPortName(devicePath);
    if (openPort())
        return true;
    QString problem = QStringLiteral("Cannot open %1: %2.").arg(portText, m_port.errorString());
    if (m_port.error() == QSerialPort::PermissionError && isPermissionDenied(devicePath))
        problem += ' ' + deviceGroupAdvice(devicePath);
    startRetrying(problem);
    return false;
}

void SerialDevice::close() {
    m_retryTimer.stop();
    if (m_port.isOpen())
        m_port.close();
}

bool SerialDevice::write(const QByteArray &bytes) {
    return m_port.isOpen() && m_port.write(bytes) == bytes.size();
}

void SerialDevice::closeAndRetry(const std::optional<QString> &problem) {
    if (m_port.isOpen())
        m_port.close();
    startRetrying(problem);
}

void SerialDevice::readBytes() {
    const QByteArray bytes = m_port.readAll();
    for (const char byte : bytes)
        m_receive(QLatin1Char(byte));
}

void SerialDevice::handleError(QSerialPort::SerialPortError error) {
    if (!m_port.isOpen() ||
        (error != QSerialPort::ResourceError && error != QSerialPort::ReadError))
        return;
    QString reason;
    if (isHungUp(m_port.handle()))
        reason = QStringLiteral("the device hung up or its other side closed");
    else if (error == QSerialPort::ResourceError)
        reason = m_port.errorString();
    else
        reason = QStringLiteral("it can no longer be read");
    m_port.close();
    startRetrying(QStringLiteral("%1 was lost: %2.").arg(m_portText, reason));
}

void SerialDevice::retry() {
    // Stopped first: the device may already fail again while it is being opened.
    m_retryTimer.stop();
    if (!openPort())
        m_retryTimer.start();
}

bool SerialDevice::openPort() {
    // A pseudo-terminal (a device bridged by socat, a network box) carries bytes, not
    // framed characters, and never keeps the parity bit. The C library reports a parity
    // request that did not stick as an invalid argument once the terminal already holds
    // the other settings, as it does after a run that was killed with the port open: so a
    // pseudo-terminal is asked for no parity, and only a real line for even parity.
    m_port.setBaudRate(m_line.baudRate);
    m_port.setParity(isPseudoTerminal(m_devicePath) ? QSerialPort::NoParity : m_line.parity);
    if (!m_port.open(m_line.mode))
        return false;
    emit opened();
    return true;
}

void SerialDevice::startRetrying(const std::optional<QString> &problem) {
    if (problem)
        m_report(QStringLiteral("Serial port"),
                 *problem + QStringLiteral(" Trying again every %1 s.")
                                .arg(QString::number(m_retryTimer.interval() / 1000.0)));
    m_retryTimer.start();
}

}  // namespace ringwise
