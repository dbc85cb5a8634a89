// Draws the main window and the settings dialog into PNG files for the documentation:
//   QT_QPA_PLATFORM=offscreen build/tests/ui/ringwise_screenshots docs/screenshots
#include <QApplication>
#include <QDir>
#include <QTextStream>

#include "core/paths.h"
#include "core/settings_store.h"
#include "core/settings_table.h"
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
    Service service(store, test::fastEnvironment());
    MainWindow window(service, store, quietDesktop());
    if (!window.start())
        return 1;
    service.fakeIncomingCall();
    bool saved = save(window, target.filePath(QStringLiteral("main-window.png")));

    // The defaults the dialog shows, with the database where a user's would be.
    store.Write(key::ServerCheckDGS, QStringLiteral("True"));
    qputenv("XDG_DATA_HOME", "/home/user/.local/share");
    SettingsDialog settings(store, quietDesktop());
    settings.show();
    saved = save(settings, target.filePath(QStringLiteral("settings.png"))) && saved;
    service.shutdown();
    return saved ? 0 : 1;
}
