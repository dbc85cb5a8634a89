#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <memory>

#include "app/headless_front_end.h"
#include "app/settings_command.h"
#include "app/signal_watcher.h"
#include "core/paths.h"
#include "core/service.h"
#include "core/settings_store.h"
#include "core/version.h"
#include "ui/desktop_hooks.h"
#include "ui/main_window.h"
#include "ui/single_instance.h"

using namespace ringwise;

namespace {

// Decided before the application object exists: only the desktop needs QApplication.
bool wantsDesktop(int argc, char *argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--headless" || argument == "--settings" || argument == "--set" ||
            argument.startsWith("--set=") || argument == "--help" || argument == "-h" ||
            argument == "--help-all" || argument == "--version" || argument == "-v")
            return false;
    }
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// RINGWISE_LISTEN=address:port listens there instead of on every address and ServerPort;
// port 0 takes any free one, which the hosting line shows. For tests that run several
// servers side by side without racing for a port.
ServiceEnvironment serviceEnvironment() {
    ServiceEnvironment environment;
    const QString listen = qEnvironmentVariable("RINGWISE_LISTEN");
    if (listen.isEmpty())
        return environment;
    const qsizetype colon = listen.lastIndexOf(QLatin1Char(':'));
    bool isNumber = false;
    const uint port = listen.mid(colon + 1).toUInt(&isNumber);
    const QHostAddress address(listen.left(colon));
    if (colon < 0 || !isNumber || port > 65535 || address.isNull()) {
        QTextStream(stderr) << "RINGWISE_LISTEN is not address:port and is ignored: " << listen
                            << Qt::endl;
        return environment;
    }
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
    addSettingsOptions(parser);
}

int runHeadless(SettingsStore &store) {
    Service service(store, serviceEnvironment());
    HeadlessFrontEnd frontEnd(service);
    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &service,
                     [] { QCoreApplication::quit(); });
    if (!service.start(Service::StartConnect::Always))
        return 1;
    QTextStream(stdout) << "Settings: " << store.filePath()
                        << "\nDatabase: " << service.settings().dbPath
                        << "\nSerial port: " << serialPortText(service.selectedPort()) << Qt::endl;
    const int status = QCoreApplication::exec();
    service.shutdown();
    return status;
}

int runDesktop(SettingsStore &store) {
    // Closing the settings box while the window is hidden in the tray must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    SingleInstance instance(SingleInstance::defaultFolder());
    if (!instance.claim())
        return instance.activateRunning() ? 0 : 1;
    Service service(store, serviceEnvironment());
    MainWindow window(service, store, DesktopHooks::desktop(), defaultWindowStatePath());
    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &window,
                     [&window] { window.close(); });
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     &MainWindow::bringToFront);
    if (!window.start())
        return 1;
    // Closing the window runs the service's shut-down and ends the event loop.
    return QApplication::exec();
}

}  // namespace

int main(int argc, char *argv[]) {
    const bool desktop = wantsDesktop(argc, argv);
    std::unique_ptr<QCoreApplication> app = desktop
                                                ? std::make_unique<QApplication>(argc, argv)
                                                : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(kProductName);
    QCoreApplication::setApplicationVersion(versionText);

    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(*app);

    SettingsStore store(defaultSettingsPath());
    if (isSettingsCommand(parser)) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runSettingsCommand(store, parser, out, err);
    }
    return desktop ? runDesktop(store) : runHeadless(store);
}
