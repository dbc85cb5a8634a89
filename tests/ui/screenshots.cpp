// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the main window, its list of recent calls and the settings dialog into PNG files for the
// documentation:
//   QT_QPA_PLATFORM=offscreen build/tests/ui/ringwise_screenshots docs/screenshots
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTextStream>

#include "core/paths.h"
#include "core/settings_store.h"
#include "core/settings_table.h"
#include "db/database.h"
#include "support/fast_environment.h"
#include "support/temp_environment.h"
#include "ui/main_window.h"
#include "ui/settings_dialog.h"

using namespace ringwise;

namespace {

// Nothing modal may stop the drawing; what would have been shown goes to standard error.
DesktopHooks quietDesktop() {
    DesktopHooks hooks;
    hooks.showMessage = [](QWidget *, MessageIcon, const QString &title, const QString &text) {
        QTextStream(stderr) << title << ": " << text << Qt::endl;
    };
    hooks.postMessage = [showMessage = hooks.showMessage](QWidget *parent, MessageIcon icon,
                                                          const QString &title,
                                                          const QString &text) -> QWidget * {
        showMessage(parent, icon, title, text);
        return nullptr;
    };
    hooks.runModal = [](QDialog &) {};
    hooks.hasNotificationArea = [] { return false; };
    hooks.endProgram = [](int) {};
    return hooks;
}

// A morning's calls before the test call, for the list of recent calls.
void addEarlierCalls(const QString &databasePath) {
    Database database;
    database.open(databasePath, Database::OpenMode::MustExist);
    const struct {
        const char *name;
        const char *number;
        const char *time;
        int rings;
    } calls[] = {{"Karen Hansen", "33445566", "2026-12-06 09:12:40", 2},
                 {"", "70203040", "2026-12-06 10:05:11", 5},
                 {"Ib Holm", "22114488", "2026-12-06 11:47:02", 1},
                 {"Søren Østergaard", "51525354", "2026-12-06 14:20:37", 3},
                 {"Karen Hansen", "33445566", "2026-12-06 16:58:09", 4}};
    for (const auto &call : calls) {
        database.exec(QStringLiteral("INSERT INTO tblContacts (FullName, MobilePhone, TotalCalls) "
                                     "VALUES (?, ?, 1)"),
                      {QString::fromUtf8(call.name), QString::fromLatin1(call.number)});
        database.exec(QStringLiteral("INSERT INTO tblCalls (ContactID, CallTime, CallRings, "
                                     "CallNumber) VALUES (?, ?, ?, ?)"),
                      {database.lastInsertRowId(), QString::fromLatin1(call.time), call.rings,
                       QString::fromLatin1(call.number)});
    }
}

bool save(QWidget &widget, const QString &path) {
    const bool saved = widget.grab().save(path, "PNG");
    QTextStream(saved ? stdout : stderr)
        << (saved ? "wrote " : "could not write ") << path << Qt::endl;
    return saved;
}

}  // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QDir target(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    test::TempEnvironment env;
    SettingsStore store(defaultSettingsPath());
    // No lookup leaves the machine while the pictures are made.
    store.Write(key::ServerCheckDGS, QStringLiteral("False"));
    store.Write(key::DesktopNotify, QStringLiteral("False"));
    Service service(store, test::fastEnvironment());
    MainWindow window(service, store, quietDesktop());
    if (!window.start())
        return 1;
    addEarlierCalls(env.databasePath());
    service.fakeIncomingCall();
    bool saved = save(window, target.filePath(QStringLiteral("main-window.png")));
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("callTabs"));
    tabs->setCurrentIndex(1);
    saved = save(window, target.filePath(QStringLiteral("recent-calls.png"))) && saved;
    tabs->setCurrentIndex(0);

    // The defaults the dialog shows, with the database where a user's would be.
    store.Write(key::ServerCheckDGS, QStringLiteral("True"));
    store.Write(key::DesktopNotify, QStringLiteral("True"));
    qputenv("XDG_DATA_HOME", "/home/user/.local/share");
    SettingsDialog settings(store, quietDesktop());
    settings.show();
    saved = save(settings, target.filePath(QStringLiteral("settings.png"))) && saved;
    service.shutdown();
    return saved ? 0 : 1;
}
