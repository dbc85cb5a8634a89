#include <QCommandLineParser>
#include <QCoreApplication>

#include "app/headless_front_end.h"
#include "app/signal_watcher.h"
#include "core/paths.h"
#include "core/service.h"
#include "core/settings_store.h"
#include "core/version.h"

using namespace ringwise;

namespace {

int runHeadless(QCoreApplication &app, SettingsStore &store) {
    Service service(store, ServiceEnvironment{});
    HeadlessFrontEnd frontEnd(service);
    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &app,
                     [] { QCoreApplication::quit(); });
    if (!service.start(Service::StartConnect::Always))
        return 1;
    const int status = app.exec();
    service.shutdown();
    return status;
}

}  // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kProductName);
    QCoreApplication::setApplicationVersion(versionText);

    QCommandLineParser parser;
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
    parser.process(app);

    SettingsStore store(defaultSettingsPath());
    return runHeadless(app, store);
}
