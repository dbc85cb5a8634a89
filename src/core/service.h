// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "call/block_entry.h"
#include "call/call_record.h"
#include "call/seams.h"
#include "core/contact_files.h"
#include "core/load_settings.h"
#include "core/message.h"
#include "directory/directory_lookup.h"
#include "intake/call_logger.h"
#include "intake/modem_device.h"
#include "intake/router_device.h"
#include "intake/serial_device.h"
#include "queries/last_calls.h"
#include "server/client_protocol.h"
#include "server/hosting_status.h"
#include "web/web_timeouts.h"

namespace ringwise {

class SettingsStore;

// The values of the "TCP/IP status" panel: hosting's own labels, the connection count and
// the next ping.
struct HostingLabels : HostingStatus {
    QString connections = QStringLiteral("0");
    QString nextPing = QStringLiteral("0");
    bool operator==(const HostingLabels &other) const {
        return HostingStatus::operator==(other) && connections == other.connections &&
               nextPing == other.nextPing;
    }
};

// The title of the warning that no password is set.
inline const QString kWarningTitle = QStringLiteral("Warning");

// What a front end must do when the service cannot go on: show the message, then (on the
// desktop) the settings dialog modally, after a bind error also the "Settings" box, remove
// the tray icon and end the program with status 1.
enum class FatalKind { Database, Bind };

// The clock, tick source and intervals the service runs on; tests pass fast fakes.
struct ServiceEnvironment {
    Clock now = [] { return QDateTime::currentDateTime(); };
    TickCount tickCount;  // milliseconds since boot; empty: the monotonic clock
    int pingIntervalMs = ClientProtocol::kPingIntervalMs;
    int loginDeadlineMs = ClientProtocol::kLoginDeadlineMs;
    int serialRetryMs = SerialDevice::kDefaultRetryMs;
    int modemAnswerMs = ModemTimings::kDefaultAnswerMs;
    int modemCallWindowMs = ModemCalls::kDefaultCallWindowMs;
    RouterTimings routerTimings;
    int lookupTimeoutMs = DirectoryLookup::kDefaultTimeoutMs;
    // How often calls that wait for the database are tried again.
    int databaseRetryMs = CallLogger::kDefaultRetryMs;
    // How the syncing thread flushes the log; tests pass one that waits for them.
    SyncFile syncFile = syncFileData;
    // Where hosting listens: on the ServerListen and ServerPort settings, unless a test
    // asks for another address or for a port of its own (0: any free one, which
    // listeningPort() then reports).
    std::optional<QHostAddress> listenAddress;
    std::optional<quint16> listenPort;
    // A database named on the command line: used instead of ServerDB for this run, and
    // created with its tables when missing, as the default one is.
    QString databasePath;
    // The web page's port: ServerWebPort, unless a test turns the page off (kWebOff) or
    // asks for any free port (0, which webPort() then reports).
    static constexpr int kWebOff = -1;
    std::optional<int> webPort;
    WebTimeouts webTimeouts;
};

// Owns everything the server is: settings, database, call record, parser, logger, serial
// device, modem and router (ServerDevice picks one at each Connect), client table, protocol,
// hosting, directory lookup and timers. The front ends show its state and forward the user's
// commands; they hold no state of their own.
class Service : public QObject {
    Q_OBJECT
public:
    Service(SettingsStore &store, ServiceEnvironment environment, QObject *parent = nullptr);
    ~Service() override;

    // Whether start-up performs the Connect action: as ServerAutoStart says, or always
    // (headless, where there is no Connect button).
    enum class StartConnect { AsConfigured, Always };

    // Start-up in order: tray request, settings (and the Connect and minimise they may
    // trigger), ping timer, reset call record, open database. False when a fatal path
    // was requested (the front end ends the program).
    bool start(StartConnect startConnect = StartConnect::AsConfigured);
    // Shut-down: tray removal request, close the serial port and clients, store the calls
    // that wait for the database, close it. False when calls that waited are lost (the
    // program then ends with status 1).
    bool shutdown();

    // State shown by the front ends.
    const ServerSettings &settings() const;
    const CallRecord &callRecord() const;
    QString deviceOutput() const;  // the bounded device output kept in memory
    bool isRunning() const;        // Connect done: selector disabled, button "Disconnect"
    QString selectedPort() const;  // the port selector's text
    // "Router HOST:PORT: connected" or "… not connected" while the router is the device at
    // Connect; empty otherwise.
    QString routerStatus() const;
    HostingLabels hostingLabels() const;
    // "Directory: not reachable (113) since 05:09" while lookups keep failing; empty otherwise.
    QString directoryStatus() const;
    // The connected clients, one line each in slot order; built when asked.
    QStringList connectionList() const;
    quint16 listeningPort() const;  // the port bound while hosting
    quint16 webPort() const;        // the web page's port while it listens; 0 otherwise
    // The newest calls from the database, newest first; empty while it is not open.
    std::vector<LoggedCall> recentCalls() const;
    // The block list, for the desktop; empty while the database cannot be read.
    std::vector<BlockEntry> blockEntries() const;
    // Changes the block list; returns why the change was not made, or an empty text.
    QString addBlockEntry(const QString &number, const QString &note);
    QString removeBlockEntry(const QString &number);

    // Commands.
    void setSelectedPort(const QString &port);  // only while stopped
    void toggleConnection();                    // the Connect/Disconnect action
    void fakeIncomingCall();                    // "Fake opkald": A12345678#RRR
    // "Fake outgoing": the answer to STATS:CNTS;00 in the device output, sent to no client.
    void fakeOutgoingRequest();
    // A message a front end does not show as a box: a stamped line in the device output.
    void noteInDeviceOutput(const QString &title, const QString &text);
    // File > Import and File > Export: the contact book in and out of the open database,
    // numbers normalised with ServerCountryCode as it reads now.
    ImportSummary importContacts(const QString &path, ImportOptions options);
    ExportOutcome exportContacts(const QString &path);

signals:
    void callFieldChanged(ringwise::CallField field, const QString &value);
    void deviceOutputAppended(const QString &text);
    void runningChanged(bool running);
    void selectedPortChanged(const QString &port);
    void routerStatusChanged(const QString &status);
    void hostingLabelsChanged(const ringwise::HostingLabels &labels);
    // One client joined or left the connection list (and the count changed).
    void clientListed(int slot, const QString &line);
    void clientUnlisted(int slot);
    // A call is stored and announced; the caller's contact has named it (or not). A blocked
    // call is on the block list: the modem hangs up on it, the desktop does not notify it.
    void callLogged(const ringwise::CallFields &call, bool blocked);
    // The directory has named the caller of the call.
    void callerNamed(const ringwise::CallFields &call, bool blocked);
    // A call, a ring or a naming has changed what recentCalls() returns.
    void recentCallsChanged();
    void trayIconRequested(bool visible);
    void minimizeRequested();
    void message(ringwise::MessageIcon icon, const QString &title, const QString &text);
    // No password is set (the warning), or one is now (empty): from start-up on, at each change.
    void openAccessChanged(const QString &warning);
    void fatal(ringwise::FatalKind kind, const QString &title, const QString &text);
    void directoryStatusChanged(const QString &status);

private:
    // A message that the device output keeps too.
    void report(const QString &title, const QString &text);
    // The first failure of a streak is a message; the same one again only a device output line.
    void reportLookupFailure(const QString &title, const QString &text);
    // Rereads what Connect uses when the dialog or --set has changed it since it was read.
    void reloadConnectionSettings();
    bool connectAction();
    void startTls(const QHostAddress &address);
    void startWeb(const QHostAddress &address);
    void disconnectAction();
    void stopEverything();
    void showOpenAccess();
    void showRouterStatus(bool inUse);

    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

}  // namespace ringwise
