// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <memory>

#include "app/blocked_signals.h"
#include "app/contact_command.h"
#include "app/descriptor_limit.h"
#include "app/headless_front_end.h"
#include "app/settings_command.h"
#include "app/signal_watcher.h"
#include "app/x_display.h"
#include "core/paths.h"
#include "core/service.h"
#include "core/settings_store.h"
#include "core/version.h"
#include "web/web_server.h"

#ifdef RINGWISE_GUI
#include <QApplication>

#include "ui/desktop_hooks.h"
#include "ui/main_window.h"
#include "ui/single_instance.h"
#endif

using namespace ringwise;

namespace {

// RINGWISE_LISTEN=address:port listens there instead of on ServerListen and ServerPort;
// ":port" replaces the port alone. Port 0 takes any free one, which the hosting line shows.
// For tests that run several servers side by side without racing for a port.
ServiceEnvironment serviceEnvironment(const QCommandLineParser &parser) {
    ServiceEnvironment environment;
    environment.databasePath = parser.value(QStringLiteral("database"));
    const QString listen = qEnvironmentVariable("RINGWISE_LISTEN");
    if (listen.isEmpty())
        return environment;
    const qsizetype colon = listen.lastIndexOf(QLatin1Char(':'));
    bool isNumber = false;
    const uint port = listen.mid(colon + 1).toUInt(&isNumber);
    const QString addressText = listen.left(colon);
    const QHostAddress address(addressText);
    if (colon < 0 || !isNumber || port > 65535 || (!addressText.isEmpty() && address.isNull())) {
        QTextStream(stderr) << "RINGWISE_LISTEN is not address:port and is ignored: " << listen
                            << Qt::endl;
        return environment;
    }
    if (!addressText.isEmpty())
        environment.listenAddress = address;
    environment.listenPort = quint16(port);
    return environment;
}

void describeOptions(QCommandLineParser &parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Caller-ID server for one telephone line: reads the caller-ID device on a serial port, "
        "stores each call and announces it to the TCP clients.\n\n"
        "Headless (with --headless, or when no display is available) the server always "
        "connects at start-up: it opens the serial port named by ServerCOM and listens on "
        "ServerPort, whatever ServerAutoStart says."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("headless"),
                      QStringLiteral("Run without windows: output on the terminal.")});
    parser.addOption({QStringLiteral("config"),
                      QStringLiteral("Read and write the settings in FILE instead of "
                                     "~/.config/Ringwise/Ringwise.conf (also for --settings "
                                     "and --set)."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("database"),
                      QStringLiteral("Keep the calls in FILE instead of the ServerDB setting or "
                                     "~/.local/share/Ringwise/Ringwise.db, for this run; FILE is "
                                     "created when missing."),
                      QStringLiteral("FILE")});
    addSettingsOptions(parser);
    addContactOptions(parser);
}

// Said once, after start-up has read ServerMaxClients.
void noteDescriptorLimit(Service &service, quint64 limit) {
    const QString note =
        descriptorLimitNote(limit, service.settings().maxClients,
                            service.webPort() != 0 ? WebListener::kMaxConnections : 0);
    if (!note.isEmpty())
        service.noteInDeviceOutput(QStringLiteral("Clients"), note);
}

// Whoever starts the server, from a terminal or as a service, reads that it is open to all;
// the desktop shows it in its window as well.
void warnOfOpenAccess(Service &service) {
    QObject::connect(&service, &Service::openAccessChanged, [](const QString &warning) {
        if (!warning.isEmpty())
            QTextStream(stderr) << kWarningTitle << ": " << warning << Qt::endl;
    });
}

// While TZ is unset the C library looks at /etc/localtime again for every local time it
// computes, a file-system call on each call and ring; named, the zone is read once. A
// change of the machine's zone takes effect at the next start: fine for a service, not for
// a laptop's desktop, which follows its zone as it travels.
void readTimeZoneOnce() {
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
}

int runHeadless(SettingsStore &store, const QCommandLineParser &parser,
                const BlockedSignals &blockedSignals) {
    readTimeZoneOnce();
    const quint64 descriptorLimit = raiseDescriptorLimit();
    Service service(store, serviceEnvironment(parser));
    HeadlessFrontEnd frontEnd(service);
    warnOfOpenAccess(service);
    SignalWatcher signalWatcher(blockedSignals);
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &service,
                     [] { QCoreApplication::quit(); });
    if (!service.start(Service::StartConnect::Always))
        return 1;
    frontEnd.endLine();
    // A router has named itself already, in its state line.
    QTextStream out(stdout);
    out << "Settings: " << store.filePath() << "\nDatabase: " << service.settings().dbPath;
    if (service.routerStatus().isEmpty())
        out << "\nSerial port: " << serialPortText(service.selectedPort());
    out << Qt::endl;
    noteDescriptorLimit(service, descriptorLimit);
    const int status = QCoreApplication::exec();
    return service.shutdown() ? status : 1;
}

#ifdef RINGWISE_GUI
int runDesktop(SettingsStore &store, const QCommandLineParser &parser,
               const BlockedSignals &blockedSignals) {
    // Closing the settings box while the window is hidden in the tray must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    const SingleInstance::Folder folder = SingleInstance::defaultFolder();
    if (!folder.refusal.isEmpty()) {
        QTextStream(stderr) << folder.refusal << Qt::endl;
        return 1;
    }
    SingleInstance instance(folder.path);
    if (!instance.claim())
        return instance.activateRunning() ? 0 : 1;
    const quint64 descriptorLimit = raiseDescriptorLimit();
    Service service(store, serviceEnvironment(parser));
    MainWindow window(service, store, DesktopHooks::desktop(), defaultWindowStatePath());
    warnOfOpenAccess(service);
    SignalWatcher signalWatcher(blockedSignals);
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &window,
                     &MainWindow::quit);
    // Logging out ends the program rather than hiding the window to a tray that goes away.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window, &MainWindow::quit);
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     &MainWindow::bringToFront);
    if (!window.start())
        return 1;
    noteDescriptorLimit(service, descriptorLimit);
    // Closing the window runs the service's shut-down and ends the event loop.
    return QApplication::exec();
}

QStringList commandLine(int argc, char *argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// Only the desktop needs QApplication. The parser reports nothing yet: QApplication first
// takes its own options (-platform, -style) off the command line.
bool wantsDesktop(const QStringList &arguments, QCommandLineParser &parser) {
    parser.parse(arguments);
    if (parser.isSet(QStringLiteral("headless")) || isSettingsCommand(parser) ||
        isContactCommand(parser) || parser.isSet(QStringLiteral("help")) ||
        parser.isSet(QStringLiteral("help-all")) || parser.isSet(QStringLiteral("version")))
        return false;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        return false;
    // Another platform (offscreen, wayland) does not need the X server.
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if ((platform.isEmpty() || platform.startsWith(QLatin1String("xcb"))) &&
        !localXServerAnswers(display)) {
        QTextStream(stderr) << "No X server answers on DISPLAY=" << display << "; running headless."
                            << Qt::endl;
        return false;
    }
    return true;
}
#endif

std::unique_ptr<QCoreApplication> makeApplication(int &argc, char *argv[],
                                                  QCommandLineParser &parser) {
#ifdef RINGWISE_GUI
    if (wantsDesktop(commandLine(argc, argv), parser))
        return std::make_unique<QApplication>(argc, argv);
#else
    Q_UNUSED(parser);
#endif
    return std::make_unique<QCoreApplication>(argc, argv);
}

}  // namespace

int main(int argc, char *argv[]) {
    QCommandLineParser parser;
    describeOptions(parser);
    const BlockedSignals blockedSignals;
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv, parser);
    QCoreApplication::setApplicationName(kProductName);
    // --version prints the name, then this.
    QCoreApplication::setApplicationVersion(versionText + QLatin1Char('\n') + kLicenceNotice);
    parser.process(*app);

    const QString configPath = parser.value(QStringLiteral("config"));
    SettingsStore store(configPath.isEmpty() ? defaultSettingsPath() : configPath);
    if (isSettingsCommand(parser)) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runSettingsCommand(store, parser, out, err);
    }
    if (isContactCommand(parser)) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runContactCommand(store, parser, out, err);
    }
#ifdef RINGWISE_GUI
    if (qobject_cast<QApplication *>(app.get()))
        return runDesktop(store, parser, blockedSignals);
#endif
    return runHeadless(store, parser, blockedSignals);
}
