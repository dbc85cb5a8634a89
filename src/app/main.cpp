#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "app/signal_watcher.h"
#include "core/load_settings.h"
#include "core/open_database.h"
#include "core/paths.h"
#include "core/settings_store.h"
#include "core/version.h"
#include "db/database.h"
#include "db/database_error.h"

using namespace ringwise;

namespace {

void printError(const QString &title, const QString &text) {
    QTextStream(stderr) << title << ": " << text << Qt::endl;
}

}  // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kProductName);
    QCoreApplication::setApplicationVersion(versionText);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Caller-ID server for one telephone line: reads the caller-ID device on a "
                       "serial port, stores each call and announces it to the TCP clients."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("headless"),
                      QStringLiteral("Run without windows: output on the terminal.")});
    parser.process(app);

    QTextStream out(stdout);
    SettingsStore store(defaultSettingsPath());
    const ServerSettings settings = LoadSettings(
        store,
        [](MessageIcon, const QString &title, const QString &text) { printError(title, text); });
    out << "Settings loaded from " << store.filePath() << Qt::endl;

    Database database;
    try {
        OpenDatabase(database, settings);
    } catch (const DatabaseError &error) {
        printError(kDatabaseErrorTitle, databaseErrorText(error));
        return 1;
    }
    out << "Database opened: " << database.path() << Qt::endl;

    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &app,
                     [] { QCoreApplication::quit(); });
    const int status = app.exec();
    database.close();
    return status;
}
