// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

#include "call/seams.h"
#include "intake/modem_lines.h"
#include "intake/router_calls.h"
#include "intake/router_lines.h"

namespace ringwise {

// How often a router that cannot be reached is tried again; tests pass short ones.
struct RouterTimings {
    static constexpr int kDefaultRetryMs = 5000;
    static constexpr int kDefaultSlowRetryMs = 30000;
    static constexpr int kDefaultSlowAfterMs = 60000;

    static constexpr int kDefaultConnectTimeoutMs = 10000;

    int retryMs = kDefaultRetryMs;
    int slowRetryMs = kDefaultSlowRetryMs;  // once the router has been away this long:
    int slowAfterMs = kDefaultSlowAfterMs;
    // A router that drops the connection attempt would otherwise be waited for as long as the
    // system tries, two minutes.
    int connectTimeoutMs = kDefaultConnectTimeoutMs;
};

struct RouterSeams {
    SendText showLine;                       // each line the router sends
    SendText handleCall;                     // the box's characters of an incoming call
    std::function<quint64()> currentSerial;  // the record's serial, once a call is handed on
    std::function<void(quint64 serial, const QString &rings)> writeRings;
    Report report;
};

// The call monitor of a home router: a TCP connection on which the router writes one line per
// call event. Every line is shown; incoming calls go on as the box's characters, and each
// call's estimated ring count goes to that call. A router that cannot be reached, or that
// closes the connection, is reported once and tried again every retryMs, after slowAfterMs
// every slowRetryMs; coming back is reported once. TCP keep-alive notices a router that
// vanishes without a word within two minutes.
class RouterDevice : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 1012;

    RouterDevice(RouterSeams seams, RouterTimings timings = {}, QObject *parent = nullptr);
    ~RouterDevice() override;

    // Connects, and keeps connecting until close(); a number in the international form loses
    // countryCode, the home country's.
    void open(const QString &host, quint16 port, const QString &countryCode);
    void close();
    // As SerialDevice's: the lines after the one handed on last wait, unread ones in the
    // socket, until releaseInput().
    void holdInput() { m_holding = true; }
    void releaseInput();
    bool isConnected() const { return m_connected; }
    // "host:port", as the messages name the router.
    QString address() const;

signals:
    // Connected, or not any more.
    void connectedChanged(bool connected);

private:
    void connectNow();
    void noteConnected();
    // The connection has lasted, or brought a line: the router is back.
    void settle();
    void noteLost(const QString &reason);
    void readAvailable();
    void handOn(const QByteArray &bytes);
    void handleLine(const QString &line);

    RouterSeams m_seams;
    RouterTimings m_timings;
    QTcpSocket m_socket{this};
    QTimer m_retryTimer{this};
    QTimer m_connectTimer{this};
    QTimer m_settleTimer{this};
    bool m_settled = false;
    // The socket still says connected while it reports the loss.
    bool m_connected = false;
    QElapsedTimer m_awaySince;  // since the router went away, or since open()
    QString m_host;
    quint16 m_port = kDefaultPort;
    QString m_countryCode;
    bool m_open = false;
    bool m_reported = false;  // the router's absence has been reported
    bool m_holding = false;
    QByteArray m_held;  // read before the hold began
    ModemLineParser m_lines{kLongestRouterLine};
    RouterCalls m_calls;
};

}  // namespace ringwise
