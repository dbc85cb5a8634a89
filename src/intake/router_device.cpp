// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/router_device.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "intake/router_lines.h"

namespace ringwise {

namespace {

const QString kTitle = QStringLiteral("Router");
// Keep-alive probes: the first after a minute of silence, then one every 10 s; five
// unanswered ones end the connection, within two minutes of the router's last word.
constexpr int kKeepAliveIdleS = 60;
constexpr int kKeepAliveIntervalS = 10;
constexpr int kKeepAliveProbes = 5;
constexpr qint64 kReadBufferBytes = 64 * 1024;

void setKeepAlive(QTcpSocket &socket) {
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const int descriptor = int(socket.socketDescriptor());
    for (const auto &[option, value] :
         {std::pair{TCP_KEEPIDLE, kKeepAliveIdleS}, std::pair{TCP_KEEPINTVL, kKeepAliveIntervalS},
          std::pair{TCP_KEEPCNT, kKeepAliveProbes}}) {
        // Without the option the system's own keep-alive times apply: slower, still sound.
        setsockopt(descriptor, IPPROTO_TCP, option, &value, sizeof value);
    }
}

// Qt's words for what went wrong, inside a sentence.
QString lowerFirst(QString text) {
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

}  // namespace

RouterDevice::~RouterDevice() {
    // The socket outlives the timers its close would touch.
    m_socket.disconnect(this);
    m_socket.abort();
}

RouterDevice::RouterDevice(RouterSeams seams, RouterTimings timings, QObject *parent)
    : QObject(parent), m_seams(std::move(seams)), m_timings(timings) {
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &RouterDevice::connectNow);
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(m_timings.retryMs);
    connect(&m_settleTimer, &QTimer::timeout, this, &RouterDevice::settle);
    // While the device holds its input, the system's buffer fills and the router waits,
    // rather than this program's memory growing.
    m_socket.setReadBufferSize(kReadBufferBytes);
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(m_timings.connectTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        m_socket.abort();
        noteLost(QStringLiteral("no answer within %1 s").arg(m_timings.connectTimeoutMs / 1000));
    });
    connect(&m_socket, &QTcpSocket::connected, this, &RouterDevice::noteConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &RouterDevice::readAvailable);
    connect(&m_socket, &QTcpSocket::errorOccurred, this,
            [this] { noteLost(lowerFirst(m_socket.errorString())); });
    connect(&m_socket, &QTcpSocket::disconnected, this,
            [this] { noteLost(QStringLiteral("the connection was closed")); });
}

void RouterDevice::open(const QString &host, quint16 port, const QString &countryCode) {
    close();
    m_host = host;
    m_port = port;
    m_countryCode = countryCode;
    m_open = true;
    m_reported = false;
    m_awaySince.start();
    connectNow();
}

void RouterDevice::close() {
    m_open = false;
    m_connected = false;
    m_retryTimer.stop();
    m_connectTimer.stop();
    m_socket.abort();
    m_held.clear();
}

QString RouterDevice::address() const {
    return QStringLiteral("%1:%2").arg(m_host).arg(m_port);
}

void RouterDevice::releaseInput() {
    m_holding = false;
    handOn(std::exchange(m_held, {}));
    readAvailable();
}

void RouterDevice::connectNow() {
    m_socket.abort();
    m_connectTimer.start();
    m_socket.connectToHost(m_host, m_port);
}

void RouterDevice::noteConnected() {
    m_connectTimer.stop();
    setKeepAlive(m_socket);
    // Half a line, and calls, from before the connection was lost mean nothing now.
    m_lines = ModemLineParser(kLongestRouterLine);
    m_calls = RouterCalls();
    m_held.clear();
    m_connected = true;
    m_settled = false;
    m_settleTimer.start();
    emit connectedChanged(true);
}

void RouterDevice::settle() {
    // A peer that takes the connection and drops it at once (its monitor's connections are
    // all taken, another program on the port) is still away: no "again", no faster retries.
    if (std::exchange(m_settled, true))
        return;
    m_settleTimer.stop();
    if (std::exchange(m_reported, false))
        m_seams.report(kTitle, QStringLiteral("connected to %1 again.").arg(address()));
}

void RouterDevice::noteLost(const QString &reason) {
    m_connectTimer.stop();
    // An error and the close that follows it are one loss.
    if (!m_open || m_retryTimer.isActive())
        return;
    const bool wasConnected = std::exchange(m_connected, false);
    m_settleTimer.stop();
    if (wasConnected && m_settled)
        m_awaySince.start();
    m_retryTimer.start(m_awaySince.elapsed() < m_timings.slowAfterMs ? m_timings.retryMs
                                                                     : m_timings.slowRetryMs);
    if (!std::exchange(m_reported, true))
        m_seams.report(kTitle, QStringLiteral("cannot reach %1 (%2). Is the call monitor switched "
                                              "on? Dial #96*5* on a telephone connected to the "
                                              "router.")
                                   .arg(address(), reason));
    if (wasConnected)
        emit connectedChanged(false);
}

void RouterDevice::readAvailable() {
    while (!m_holding && m_socket.bytesAvailable() > 0)
        handOn(m_socket.read(4096));
}

void RouterDevice::handOn(const QByteArray &bytes) {
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (m_holding) {
            m_held = bytes.mid(i);
            return;
        }
        if (std::optional<QString> line = m_lines.take(bytes[i]))
            handleLine(*line);
    }
}

void RouterDevice::handleLine(const QString &line) {
    settle();
    m_seams.showLine(line);
    const RouterLine parsed = parseRouterLine(line, m_countryCode);
    const RouterStep step = m_calls.HandleLine(parsed);
    if (!step.characters.isEmpty()) {
        m_seams.handleCall(step.characters);
        m_calls.noteLogged(parsed.connectionId, m_seams.currentSerial());
    }
    if (step.ringsOf)
        m_seams.writeRings(*step.ringsOf, QString::number(step.rings));
}

}  // namespace ringwise
