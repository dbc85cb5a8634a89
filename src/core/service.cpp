// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/service.h"

#include <QTimer>

#include "book/contact_import.h"
#include "call/time_format.h"
#include "core/database_watch.h"
#include "core/failure_streak.h"
#include "core/mqtt_settings.h"
#include "core/open_database.h"
#include "core/settings_store.h"
#include "core/settings_table.h"
#include "core/version.h"
#include "db/database.h"
#include "db/database_error.h"
#include "directory/directory_lookup.h"
#include "intake/call_logger.h"
#include "intake/device_output.h"
#include "intake/device_parser.h"
#include "intake/serial_device.h"
#include "queries/block_list.h"
#include "queries/block_requests.h"
#include "queries/contact_requests.h"
#include "queries/last_calls.h"
#include "queries/stats_queries.h"
#include "server/client_protocol.h"
#include "server/client_table.h"
#include "server/hosting.h"
#include "server/login_throttle.h"
#include "server/tick_count.h"
#include "server/tls_credentials.h"
#include "web/web_api.h"
#include "web/web_queries.h"
#include "web/web_server.h"

namespace ringwise {

namespace {

const QString kTlsTitle = QStringLiteral("TLS");
const QString kWebTitle = QStringLiteral("Web page");
// How long requests pause before their memory goes back.
constexpr int kMemoryReleaseMs = 2000;

QString openAccessText(quint16 port) {
    return QStringLiteral(
               "No password is set: anyone who can reach port %1 can read and change the call "
               "log and contacts. Set one with --set ServerPassword=…")
        .arg(port);
}

// The texts of what Connect uses from the settings read at start-up.
QStringList connectionTexts(const SettingsStore &store) {
    QStringList texts;
    for (const QString &key :
         {key::ServerPort, key::ServerCOM, key::ServerListen, key::ServerMaxClients,
          key::ServerMaxPerAddress, key::ServerTlsPort, key::ServerTlsCert, key::ServerTlsKey})
        texts << store.Read(key);
    return texts;
}

// How many calls the desktop's list of recent calls holds.
constexpr int kRecentCalls = 50;

// Why a change of the block list was not made; empty when it was.
QString blockChangeProblem(const std::function<BlockList::Parsed()> &change) {
    try {
        return change().problem;
    } catch (const DatabaseError &error) {
        return error.description();
    }
}

// Passes the parser's call events on to the logger and tells afterwards: the front ends
// learn of a call once it is stored and announced, and of each ring once it is stored.
class CallEventsTap : public CallEvents {
public:
    CallEventsTap(CallEvents &inner, std::function<void()> logged, std::function<void()> rang)
        : m_inner(inner), m_logged(std::move(logged)), m_rang(std::move(rang)) {}

    void LogCall() override {
        m_inner.LogCall();
        m_logged();
    }
    void RecordRing() override {
        m_inner.RecordRing();
        m_rang();
    }

private:
    CallEvents &m_inner;
    std::function<void()> m_logged;
    std::function<void()> m_rang;
};

}  // namespace

// Declared in the order they are built: each part may use the ones above it.
struct Service::Parts {
    Parts(Service &service, SettingsStore &settingsStore, ServiceEnvironment serviceEnvironment)
        : store(settingsStore),
          environment(std::move(serviceEnvironment)),
          tickCount(environment.tickCount ? environment.tickCount : bootTickCount),
          clients([this](const QString &text) { output.append(text); }, environment.now,
                  [this] { return !store.Read(key::ServerPassword).isEmpty(); }),
          stats(database),
          contacts(database),
          blockList(
              database, environment.now,
              BlockListSettings{[this] { return countryCode(store.Read(key::ServerCountryCode)); },
                                [this] { return isTrue(store.Read(key::BlockWithheld)); }}),
          blocks(blockList),
          throttle(tickCount),
          protocol(clients, throttle,
                   ClientProtocolSeams{
                       [this] { return store.Read(key::ServerPassword); },
                       [this] { return store.Read(key::ServerPing); },
                       [this](const QString &text) { return stats.HandleStatsRequest(text); },
                       [this](const QString &text) { return contacts.HandleContactRequest(text); },
                       tickCount, settingDefault(key::ServerPing).toDouble(),
                       [this](const QString &text) { return blocks.HandleBlockRequest(text); }},
                   environment.loginDeadlineMs, environment.pingIntervalMs),
          hosting(clients, protocol, throttle, versionText),
          lookup(
              database, record, [this] { return storedOrDefault(store, key::ServerDirectoryHost); },
              [this](const QString &text) { announce(text); },
              [&service](const QString &title, const QString &text) {
                  service.reportLookupFailure(title, text);
              },
              environment.lookupTimeoutMs),
          logger(
              database, record, [this] { return isTrue(store.Read(key::ServerCheckDGS)); },
              [this](const CallFields &call) { lookup.StartLookup(call); },
              [this](const QString &text) { announce(text); },
              [&service](const QString &title, const QString &text) {
                  service.report(title, text);
              },
              environment.databaseRetryMs, environment.syncFile,
              [this](const QString &number) { return blockList.entryBlocking(number); }),
          databaseWatch(
              database,
              [&service](const QString &title, const QString &text) {
                  service.report(title, text);
              },
              environment.databaseRetryMs),
          events(
              logger,
              [this, &service] {
                  const bool blocked = !logger.lastBlockedBy().isEmpty();
                  if (blocked)
                      hangUp();
                  emit service.callLogged(record.fields(), blocked);
                  emit service.recentCallsChanged();
              },
              [this, &service] {
                  sendRing(record.fields()[CallField::Rings]);
                  emit service.recentCallsChanged();
              }),
          parser(record, events, output, environment.now),
          serial([this](QChar character) { parser.HandleDeviceText(character); },
                 [&service](const QString &title, const QString &text) {
                     emit service.message(MessageIcon::Warning, title, text);
                 },
                 environment.serialRetryMs),
          modem([this](const QString &line) { showDeviceLine(line); },
                [this](const QString &characters) { parser.HandleMappedText(characters); },
                [&service](const QString &title, const QString &text) {
                    emit service.message(MessageIcon::Warning, title, text);
                },
                tickCount,
                ModemTimings{environment.modemAnswerMs, environment.serialRetryMs,
                             environment.modemCallWindowMs}),
          router(RouterSeams{
                     [this](const QString &line) { showDeviceLine(line); },
                     [this](const QString &characters) { parser.HandleMappedText(characters); },
                     [this] { return record.serial(); },
                     [this, &service](quint64 serial, const QString &rings) {
                         logger.writeRings(serial, rings);
                         if (serial == record.serial())
                             sendRing(rings);
                         emit service.recentCallsChanged();
                     },
                     [&service](const QString &title, const QString &text) {
                         emit service.message(MessageIcon::Warning, title, text);
                     }},
                 environment.routerTimings),
          webApi(
              database,
              WebSeams{
                  [this] { return store.Read(key::ServerPassword); },
                  [this](const QHostAddress &address) { return throttle.admits(address); },
                  [this](const QHostAddress &address) { return throttle.wrongPassword(address); },
                  [this](const QHostAddress &address) { throttle.loggedIn(address); },
                  [this](std::optional<qint64> key, const QStringList &values) {
                      // The very save of "CNTAC:SAVE"; its error answer's reason.
                      const SavedContact saved = contacts.save(key, values, true);
                      return WebSavedContact{saved.contactId,
                                             saved.answer.mid(saved.answer.indexOf(u';') + 1)};
                  },
                  [this](const QString &term, int limit) {
                      return contacts.findContacts(term, limit);
                  },
                  environment.now, [this] { return blockList.entries(); },
                  [&service](const QString &number, const QString &note) {
                      return service.addBlockEntry(number, note);
                  },
                  [&service](const QString &number) { return service.removeBlockEntry(number); },
                  [this, &service](const QByteArray &file, ImportOptions options) {
                      const ImportSummary summary =
                          ContactImport(database, countryCode(store.Read(key::ServerCountryCode)))
                              .run(file, options);
                      // As after File > Import: the recent calls show the names it gave.
                      if (summary.failure.isEmpty() && !options.dryRun)
                          emit service.recentCallsChanged();
                      return summary;
                  }}),
          publisher(environment.now, [&service](const QString &title, const QString &text) {
              emit service.message(MessageIcon::Warning, title, text);
          }) {}

    void showDeviceLine(const QString &line) { output.append(QStringLiteral("\r\n") + line); }
    // The clients have the line before the broker: publishing only queues it.
    void announce(const QString &text) {
        clients.SendToClients(text);
        publisher.publishLine(text);
    }

    void sendWebEvent(const QJsonObject &event) {
        if (web)
            web->sendEvent(event);
    }
    void sendRing(const QString &rings) {
        bool stored = false;
        const qint64 callId = record.fields()[CallField::CallId].toLongLong(&stored);
        if (stored)
            sendWebEvent({{"type", "ring"}, {"callId", callId}, {"rings", rings.toInt()}});
    }
    // Only the modem can hang up; it ignores this while its port is closed, as it is when
    // the box or the router is open, and those let a blocked call ring.
    void hangUp() {
        modem.hangUp(record.value(CallField::Number),
                     modemHangupMs(store.Read(key::ServerModemHangupMs)));
    }
    bool isBlocked(const QString &number) {
        try {
            return !blockList.entryBlocking(number).isEmpty();
        } catch (const DatabaseError &) {
            return false;
        }
    }

    SettingsStore &store;
    ServiceEnvironment environment;
    TickCount tickCount;
    ServerSettings settings;
    QStringList connectionTexts;  // what `settings` was read from
    Database database;
    CallRecord record;
    DeviceOutput output;
    ClientTable clients;
    StatsQueries stats;
    ContactRequests contacts;
    BlockList blockList;
    BlockRequests blocks;
    LoginThrottle throttle;
    ClientProtocol protocol;
    Hosting hosting;
    DirectoryLookup lookup;
    CallLogger logger;
    DatabaseWatch databaseWatch;
    CallEventsTap events;
    DeviceParser parser;
    SerialDevice serial;
    ModemDevice modem;
    RouterDevice router;
    WebApi webApi;
    std::unique_ptr<WebServer> web;  // while hosting, unless the page is off
    MqttPublisher publisher;
    QTimer memoryRelease;
    FailureStreak lookupFailures{QStringLiteral("Directory")};
    bool running = false;
    QString selectedPort = settingDefault(key::ServerCOM);
    QString routerStatus;
    std::optional<QString> openAccess;  // the warning last shown; none before start-up
};

Service::Service(SettingsStore &store, ServiceEnvironment environment, QObject *parent)
    : QObject(parent), m_parts(std::make_unique<Parts>(*this, store, std::move(environment))) {
    Parts &parts = *m_parts;
    connect(&parts.record, &CallRecord::fieldChanged, this, &Service::callFieldChanged);
    connect(&parts.output, &DeviceOutput::appended, this, &Service::deviceOutputAppended);
    connect(&parts.clients, &ClientTable::clientListed, this,
            [this](int slot, const QString &line) {
                emit clientListed(slot, line);
                emit hostingLabelsChanged(hostingLabels());
            });
    connect(&parts.clients, &ClientTable::clientUnlisted, this, [this](int slot) {
        emit clientUnlisted(slot);
        emit hostingLabelsChanged(hostingLabels());
    });
    connect(&parts.logger, &CallLogger::waitingCallsStored, this, &Service::recentCallsChanged);
    // The next character of the device is handled once the call before it is on the disk.
    connect(&parts.logger, &CallLogger::logSyncStarted, this, [&parts] {
        parts.serial.holdInput();
        parts.modem.holdInput();
        parts.router.holdInput();
    });
    connect(&parts.logger, &CallLogger::logSynced, this, [&parts] {
        parts.serial.releaseInput();
        parts.modem.releaseInput();
        parts.router.releaseInput();
    });
    connect(&parts.router, &RouterDevice::connectedChanged, this,
            [this] { showRouterStatus(true); });
    connect(&parts.databaseWatch, &DatabaseWatch::reopened, this, [this] {
        m_parts->logger.forgetStoredCalls();
        emit recentCallsChanged();
    });
    connect(&parts.lookup, &DirectoryLookup::contactNamed, this, [this](const CallFields &call) {
        emit callerNamed(call, m_parts->isBlocked(call[CallField::Number]));
        emit recentCallsChanged();
    });
    // The web page's live events are the ones the desktop gets.
    connect(this, &Service::callLogged, this, [this](const CallFields &call) {
        Parts &parts = *m_parts;
        bool stored = false;
        const qint64 callId = call[CallField::CallId].toLongLong(&stored);
        try {
            const std::optional<QJsonObject> logged =
                stored ? web_queries::call(parts.database, callId) : std::nullopt;
            if (logged)
                parts.sendWebEvent({{"type", "call"}, {"call", *logged}});
        } catch (const DatabaseError &) {
            // The page reads the call with the next page it loads.
        }
    });
    connect(this, &Service::callerNamed, this, [this](const CallFields &call) {
        m_parts->sendWebEvent({{"type", "naming"},
                               {"callId", call[CallField::CallId].toLongLong()},
                               {"contactId", call[CallField::ContactId].toLongLong()},
                               {"name", call[CallField::Name].trimmed()}});
    });
    connect(&parts.lookup, &DirectoryLookup::answered, this, [this] {
        if (directoryStatus().isEmpty())
            return;
        m_parts->lookupFailures.succeed();
        emit directoryStatusChanged(QString());
    });
    connect(&parts.hosting, &Hosting::statusChanged, this,
            [this] { emit hostingLabelsChanged(hostingLabels()); });
    connect(&parts.protocol, &ClientProtocol::nextPingChanged, this,
            [this] { emit hostingLabelsChanged(hostingLabels()); });
    // A request may read much of the book: once requests pause, the page cache and the
    // allocator hand their memory back, so the server idles small. Requests that follow each
    // other keep the cache.
    parts.memoryRelease.setSingleShot(true);
    parts.memoryRelease.setInterval(kMemoryReleaseMs);
    connect(&parts.memoryRelease, &QTimer::timeout, this, [this] {
        m_parts->database.releaseMemory();
        m_parts->clients.trimMemorySoon();
    });
    connect(&parts.protocol, &ClientProtocol::requestHandled, &parts.memoryRelease,
            qOverload<>(&QTimer::start));
}

Service::~Service() {
    m_parts->store.stopWatching();
}

bool Service::start(StartConnect startConnect) {
    Parts &parts = *m_parts;
    emit trayIconRequested(true);

    parts.store.watch([this](const QString &text) { report(kSettingsTitle, text); },
                      [this] {
                          if (m_parts->openAccess)
                              showOpenAccess();
                          // A new password ends the page's sessions, and their WebSockets.
                          if (m_parts->web)
                              m_parts->web->closeEndedSessions();
                      });
    parts.settings =
        LoadSettings(parts.store, [this](MessageIcon icon, const QString &title,
                                         const QString &text) { emit message(icon, title, text); });
    parts.connectionTexts = connectionTexts(parts.store);
    if (!parts.environment.databasePath.isEmpty()) {
        parts.settings.dbPath = parts.environment.databasePath;
        parts.settings.dbPathIsDefault = true;
    }
    setSelectedPort(parts.settings.serialPort);
    if (startConnect == StartConnect::Always || isTrue(parts.store.Read(key::ServerAutoStart))) {
        if (!connectAction())
            return false;
    }
    if (isTrue(parts.store.Read(key::ServerMinimized)))
        emit minimizeRequested();
    parts.protocol.startPingTimer();

    parts.record.ResetCallDisplay();
    try {
        OpenDatabase(parts.database, parts.settings);
    } catch (const DatabaseError &error) {
        stopEverything();
        emit fatal(FatalKind::Database, kDatabaseErrorTitle, databaseErrorText(error));
        return false;
    }
    parts.databaseWatch.watch();
    showOpenAccess();
    parts.publisher.start(mqttSettings(parts.store));
    return true;
}

bool Service::shutdown() {
    Parts &parts = *m_parts;
    emit trayIconRequested(false);
    parts.publisher.stop();
    // Clients see their connections drop without a farewell text.
    stopEverything();
    const bool nothingLost = parts.logger.storeBeforeExit();
    parts.database.close();
    return nothingLost;
}

void Service::report(const QString &title, const QString &text) {
    noteInDeviceOutput(title, text);
    emit message(MessageIcon::Warning, title, text);
}

void Service::reportLookupFailure(const QString &title, const QString &text) {
    Parts &parts = *m_parts;
    if (parts.lookupFailures.fail(text, parts.environment.now()))
        emit message(MessageIcon::Warning, title, text);
    else
        noteInDeviceOutput(title, text);
    emit directoryStatusChanged(parts.lookupFailures.status());
}

QString Service::directoryStatus() const {
    return m_parts->lookupFailures.status();
}

const ServerSettings &Service::settings() const {
    return m_parts->settings;
}
const CallRecord &Service::callRecord() const {
    return m_parts->record;
}
QString Service::deviceOutput() const {
    return m_parts->output.text();
}
bool Service::isRunning() const {
    return m_parts->running;
}
QString Service::selectedPort() const {
    return m_parts->selectedPort;
}
QString Service::routerStatus() const {
    return m_parts->routerStatus;
}
QStringList Service::connectionList() const {
    return m_parts->clients.connectionList();
}

std::vector<LoggedCall> Service::recentCalls() const {
    try {
        return lastCalls(m_parts->database, kRecentCalls);
    } catch (const DatabaseError &) {
        return {};
    }
}

std::vector<BlockEntry> Service::blockEntries() const {
    try {
        return m_parts->blockList.entries();
    } catch (const DatabaseError &) {
        return {};
    }
}

QString Service::addBlockEntry(const QString &number, const QString &note) {
    return blockChangeProblem([&] { return m_parts->blockList.add(number, note); });
}

QString Service::removeBlockEntry(const QString &number) {
    return blockChangeProblem([&] { return m_parts->blockList.remove(number); });
}

HostingLabels Service::hostingLabels() const {
    const Parts &parts = *m_parts;
    return HostingLabels{parts.hosting.status(), QString::number(parts.clients.connectionCount()),
                         parts.protocol.nextPing()};
}

quint16 Service::listeningPort() const {
    return m_parts->hosting.localPort();
}

quint16 Service::webPort() const {
    return m_parts->web ? m_parts->web->port() : 0;
}

void Service::setSelectedPort(const QString &port) {
    Parts &parts = *m_parts;
    if (parts.running || parts.selectedPort == port)
        return;
    parts.selectedPort = port;
    emit selectedPortChanged(port);
}

void Service::toggleConnection() {
    if (m_parts->running)
        disconnectAction();
    else
        connectAction();
}

void Service::fakeIncomingCall() {
    m_parts->parser.feedTestCall();
}

void Service::fakeOutgoingRequest() {
    // No client asked, and the answer holds the contact book: it is shown, never sent.
    const std::optional<QString> answer =
        m_parts->stats.HandleStatsRequest(QString::fromLatin1(kFakeOutgoingRequest));
    noteInDeviceOutput(QStringLiteral("Fake outgoing"),
                       answer.value_or(QStringLiteral("no answer, the database failed")));
}

void Service::noteInDeviceOutput(const QString &title, const QString &text) {
    m_parts->output.append(QStringLiteral("\r\n%1 %2: %3")
                               .arg(m_parts->environment.now().toString(kTimeFormat), title, text));
}

ImportSummary Service::importContacts(const QString &path, ImportOptions options) {
    Parts &parts = *m_parts;
    ImportSummary summary = importContactFile(
        parts.database, countryCode(parts.store.Read(key::ServerCountryCode)), path, options);
    // The recent calls show their callers' names, which the import may have given.
    if (summary.failure.isEmpty() && !options.dryRun)
        emit recentCallsChanged();
    return summary;
}

ExportOutcome Service::exportContacts(const QString &path) {
    return exportContactFile(m_parts->database, path);
}

void Service::reloadConnectionSettings() {
    Parts &parts = *m_parts;
    const QStringList texts = connectionTexts(parts.store);
    if (texts == parts.connectionTexts)
        return;
    parts.connectionTexts = texts;
    ServerSettings fresh =
        LoadSettings(parts.store, [this](MessageIcon icon, const QString &title,
                                         const QString &text) { emit message(icon, title, text); });
    // The database stays the one opened at start-up.
    fresh.dbPath = parts.settings.dbPath;
    fresh.dbPathIsDefault = parts.settings.dbPathIsDefault;
    // A new default port replaces the selector's choice; an unchanged one leaves it.
    const bool newSerialPort = fresh.serialPort != parts.settings.serialPort;
    parts.settings = fresh;
    if (newSerialPort)
        setSelectedPort(fresh.serialPort);
    if (parts.openAccess)
        showOpenAccess();
}

bool Service::connectAction() {
    Parts &parts = *m_parts;
    reloadConnectionSettings();
    parts.running = true;
    emit runningChanged(true);
    // A port that cannot be opened is reported and retried; hosting starts all the same.
    const QString portText = serialPortText(parts.selectedPort);
    const QString devicePath = serialDevicePath(parts.selectedPort);
    const QString device = parts.store.Read(key::ServerDevice);
    if (isRouter(device)) {
        parts.router.open(storedOrDefault(parts.store, key::ServerRouterHost),
                          routerPort(parts.store.Read(key::ServerRouterPort)),
                          countryCode(parts.store.Read(key::ServerCountryCode)));
        showRouterStatus(true);
    } else if (isModem(device))
        parts.modem.open(portText, devicePath,
                         modemBaudRate(parts.store.Read(key::ServerModemBaud)),
                         modemCommands(parts.store.Read(key::ServerModemInit)),
                         countryCode(parts.store.Read(key::ServerCountryCode)));
    else
        parts.serial.open(portText, devicePath);
    parts.clients.setCaps(parts.settings.maxClients, parts.settings.maxPerAddress);
    const QHostAddress address =
        parts.environment.listenAddress.value_or(parts.settings.listenAddress);
    // The TLS port opens first: "Is hosting? Yes" tells a waiting client that every port
    // takes connections.
    if (!address.isNull() && parts.settings.tlsPort != 0)
        startTls(address);
    if (!address.isNull())
        startWeb(address);
    if (address.isNull() ||
        !parts.hosting.StartHosting(
            address, parts.environment.listenPort.value_or(parts.settings.serverPort))) {
        stopEverything();
        emit fatal(FatalKind::Bind, kBindErrorTitle, bindErrorText());
        return false;
    }
    return true;
}

void Service::startTls(const QHostAddress &address) {
    // TLS that cannot start is told once; the plain port serves on regardless.
    const ServerSettings &settings = m_parts->settings;
    const QString notOpened =
        QStringLiteral(" The TLS port %1 is not opened.").arg(settings.tlsPort);
    const TlsCredentials credentials =
        loadTlsCredentials(settings.tlsCertPath, settings.tlsKeyPath);
    if (!credentials.problem.isEmpty()) {
        emit message(MessageIcon::Warning, kTlsTitle, credentials.problem + notOpened);
        return;
    }
    if (!m_parts->hosting.StartTls(address, settings.tlsPort, credentials.configuration))
        emit message(MessageIcon::Warning, kTlsTitle,
                     QStringLiteral("The TLS port %1 cannot be listened on (is it in use?).")
                         .arg(settings.tlsPort));
}

void Service::startWeb(const QHostAddress &address) {
    // The page is an addition: when it cannot start, the client ports serve on regardless.
    Parts &parts = *m_parts;
    const int port = parts.environment.webPort.value_or(parts.settings.webPort);
    if (port == ServiceEnvironment::kWebOff || (port == 0 && !parts.environment.webPort))
        return;
    std::optional<QSslConfiguration> tls;
    const ServerSettings &settings = parts.settings;
    if (!settings.tlsCertPath.isEmpty() || !settings.tlsKeyPath.isEmpty()) {
        const TlsCredentials credentials =
            loadTlsCredentials(settings.tlsCertPath, settings.tlsKeyPath);
        if (!credentials.problem.isEmpty()) {
            emit message(MessageIcon::Warning, kWebTitle,
                         credentials.problem +
                             QStringLiteral(" The web page is off: it speaks HTTPS only."));
            return;
        }
        tls = credentials.configuration;
    }
    parts.web = std::make_unique<WebServer>(parts.webApi, parts.environment.webTimeouts);
    if (!parts.web->listen(address, quint16(port), tls)) {
        parts.web.reset();
        emit message(MessageIcon::Warning, kWebTitle,
                     QStringLiteral("The web page's port %1 cannot be listened on (is it in use?).")
                         .arg(port));
        return;
    }
    noteInDeviceOutput(kWebTitle, QStringLiteral("%1://%2:%3/")
                                      .arg(tls ? QStringLiteral("https") : QStringLiteral("http"),
                                           address.toString(), QString::number(parts.web->port())));
}

void Service::disconnectAction() {
    Parts &parts = *m_parts;
    parts.running = false;
    emit runningChanged(false);
    parts.serial.close();
    parts.modem.close();
    parts.router.close();
    showRouterStatus(false);
    parts.hosting.StopHosting();
    parts.web.reset();
}

void Service::showRouterStatus(bool inUse) {
    const RouterDevice &router = m_parts->router;
    const QString status =
        !inUse ? QString()
               : QStringLiteral("Router %1: %2")
                     .arg(router.address(), router.isConnected() ? QStringLiteral("connected")
                                                                 : QStringLiteral("not connected"));
    if (std::exchange(m_parts->routerStatus, status) != status)
        emit routerStatusChanged(status);
}

void Service::showOpenAccess() {
    Parts &parts = *m_parts;
    // The port strangers can reach: the one hosting listens on, or the one Connect opens.
    const quint16 port =
        parts.hosting.localPort() != 0 ? parts.hosting.localPort() : parts.settings.serverPort;
    const QString warning =
        parts.store.Read(key::ServerPassword).isEmpty() ? openAccessText(port) : QString();
    if (parts.openAccess == warning)
        return;
    parts.openAccess = warning;
    if (!warning.isEmpty())
        noteInDeviceOutput(kWarningTitle, warning);
    emit openAccessChanged(warning);
}

void Service::stopEverything() {
    Parts &parts = *m_parts;
    parts.serial.close();
    parts.modem.close();
    parts.router.close();
    showRouterStatus(false);
    parts.hosting.StopHosting();
    parts.web.reset();
}

}  // namespace ringwise
