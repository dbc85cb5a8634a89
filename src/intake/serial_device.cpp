// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/serial_device.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include <QFile>

namespace ringwise {

namespace {

bool isPermissionDenied(const QString &devicePath) {
    return ::access(QFile::encodeName(devicePath).constData(), R_OK) != 0 && errno == EACCES;
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
    m_retryTimer.setInterval(retryIntervalMs);
    connect(&m_port, &TerminalPort::received, this, &SerialDevice::handOn);
    connect(&m_port, &TerminalPort::lost, this, [this](const QString &reason) {
        m_failureReported = true;
        startRetrying(QStringLiteral("%1 was lost: %2.").arg(m_portText, reason));
    });
    connect(&m_retryTimer, &QTimer::timeout, this, &SerialDevice::retry);
}

bool SerialDevice::open(const QString &portText, const QString &devicePath) {
    close();
    m_portText = portText;
    m_devicePath = devicePath;
    const QString failure = openPort();
    if (failure.isEmpty())
        return true;
    QString problem = QStringLiteral("Cannot open %1: %2.").arg(portText, failure);
    if (isPermissionDenied(devicePath))
        problem += ' ' + deviceGroupAdvice(devicePath);
    m_failureReported = true;
    startRetrying(problem);
    return false;
}

void SerialDevice::close() {
    m_retryTimer.stop();
    m_port.close();
    m_held.clear();
}

bool SerialDevice::write(const QByteArray &bytes) {
    return m_port.write(bytes);
}

void SerialDevice::closeAndRetry(const std::optional<QString> &problem) {
    // The port was open: whoever closes it says what the wait is for.
    m_failureReported = false;
    m_port.close();
    m_held.clear();
    startRetrying(problem);
}

void SerialDevice::retry() {
    // Stopped first: the device may already fail again while it is being opened.
    m_retryTimer.stop();
    if (!openPort().isEmpty()) {
        m_retryTimer.start();
        return;
    }
    // Said once after a failure to open or a lost port, so that whoever read that reads that
    // the wait is over.
    if (std::exchange(m_failureReported, false))
        m_report(QStringLiteral("Serial port"), QStringLiteral("%1 open.").arg(m_portText));
}

QString SerialDevice::openPort() {
    const QString problem = m_port.open(m_devicePath, m_line);
    if (!problem.isEmpty())
        return problem;
    m_port.setReading(!m_holding);
    emit opened();
    return problem;
}

void SerialDevice::holdInput() {
    m_holding = true;
    m_port.setReading(false);
}

void SerialDevice::releaseInput() {
    m_holding = false;
    handOn(std::exchange(m_held, {}));
    if (!m_holding)
        m_port.setReading(true);
}

void SerialDevice::handOn(const QByteArray &bytes) {
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (m_holding) {
            m_held = bytes.mid(i);
            return;
        }
        m_receive(QLatin1Char(bytes[i]));
    }
}

void SerialDevice::startRetrying(const std::optional<QString> &problem) {
    if (problem)
        m_report(QStringLiteral("Serial port"),
                 *problem + QStringLiteral(" Trying again every %1 s.")
                                .arg(QString::number(m_retryTimer.interval() / 1000.0)));
    m_retryTimer.start();
}

}  // namespace ringwise
