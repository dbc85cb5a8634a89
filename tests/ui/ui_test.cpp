// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTreeWidget>
#include <QtTest>

#include "core/paths.h"
#include "core/settings_store.h"
#include "core/settings_table.h"
#include "db/database.h"
#include "notify/desktop_notifier.h"
#include "support/fast_environment.h"
#include "support/greeting.h"
#include "support/loopback.h"
#include "support/private_bus.h"
#include "support/pseudo_terminal.h"
#include "support/table_dump.h"
#include "support/temp_environment.h"
#include "ui/main_window.h"
#include "ui/settings_dialog.h"
#include "ui/single_instance.h"
#include "ui/tray.h"
#include "ui/tray_window_control.h"
#include "ui/value_label.h"

using namespace ringwise;

namespace {

using test::kGreeting;
const QByteArray kCallLine = "CALL_:,12345678,,,,,,";
const QString kNoDevice = QStringLiteral("/dev/ringwise-test-no-such-device");
const char *const kIcons[] = {"information", "warning", "critical"};
// The settings dialog's controls in the order of SettingsForm.
const QStringList kControls = {
    "txtDebug0",       "chkDebug0",     "chkDebug1",        "txtDebug1",    "cboDebug0",
    "txtDebug2",       "chkDebug2",     "cboDebug1",        "cboDevice",    "txtRouterHost",
    "txtListen",       "txtMaxClients", "txtMaxPerAddress", "txtTlsPort",   "txtTlsCert",
    "txtTlsKey",       "chkDebug3",     "txtMqttHost",      "txtMqttPort",  "txtMqttUser",
    "txtMqttPassword", "chkMqttTls",    "txtMqttCa",        "txtMqttTopic", "chkMqttDiscovery"};

// The desktop as the windows see it: every box (its first line), file dialog, modal
// dialog and end, in order; a file dialog answers with nextFile.
struct Desktop {
    QStringList steps;
    QString nextFile;
    bool nextAnswer = false;
    bool notificationArea = true;
    // The boxes posted and not yet closed by the test.
    std::vector<std::unique_ptr<QWidget>> openBoxes;
    QDialog *lastModal = nullptr;

    DesktopHooks hooks() {
        DesktopHooks hooks;
        hooks.showMessage = [this](QWidget *, MessageIcon icon, const QString &title,
                                   const QString &text) {
            steps << QStringLiteral("%1 %2: %3")
                         .arg(kIcons[int(icon)], title, text.section("\r\n", 0, 0));
        };
        hooks.postMessage = [this](QWidget *, MessageIcon icon, const QString &title,
                                   const QString &) {
            steps << QStringLiteral("posted %1 %2").arg(kIcons[int(icon)], title);
            return openBoxes.emplace_back(std::make_unique<QWidget>()).get();
        };
        hooks.ask = [this](QWidget *, const QString &title, const QString &text,
                           const QString &action) {
            steps << QStringLiteral("ask %1: %2|%3").arg(title, text, action);
            return nextAnswer;
        };
        hooks.runModal = [this](QDialog &dialog) {
            steps << "modal " + dialog.windowTitle();
            lastModal = &dialog;
        };
        hooks.chooseFile = [this](QWidget *, const QString &title, const QString &preset,
                                  const QString &filter) {
            steps << title + '|' + preset + '|' + filter;
            return nextFile;
        };
        hooks.chooseSaveFile = hooks.chooseFile;
        hooks.hasNotificationArea = [this] { return notificationArea; };
        hooks.endProgram = [this](int status) { steps << QStringLiteral("end %1").arg(status); };
        return hooks;
    }
};

// The main window over a service, or the settings dialog, in a temporary environment.
struct Fixture {
    test::TempEnvironment env;
    SettingsStore store{defaultSettingsPath()};
    Desktop desktop;
    std::unique_ptr<Service> service;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<SettingsDialog> dialog;

    MainWindow &create(ServiceEnvironment environment = test::fastEnvironment()) {
        store.Write(key::ServerCheckDGS, "False");
        service = std::make_unique<Service>(store, std::move(environment));
        window = std::make_unique<MainWindow>(*service, store, desktop.hooks());
        return *window;
    }
    // Hosting on a free loopback port, the serial port pointing at a device or at nothing.
    void connect(const QString &device = kNoDevice) {
        store.Write(key::ServerCOM, device);
        if (create(test::loopbackEnvironment()).start())
            click("cmdButton");
    }
    bool greeted(QTcpSocket &client) const {
        client.connectToHost(QHostAddress::LocalHost, service->listeningPort());
        return test::receive(client, kGreeting.size()) == kGreeting;
    }
    SettingsDialog &openDialog(SettingsStore *over = nullptr) {
        dialog = std::make_unique<SettingsDialog>(over ? *over : store, desktop.hooks());
        dialog->show();
        return *dialog;
    }
    // A control of the window, or of the dialog when there is no window.
    template <typename T = QPushButton>
    T *find(const QString &name) const {
        return window ? window->findChild<T *>(name) : dialog->findChild<T *>(name);
    }
    void click(const QString &button) const { QTest::mouseClick(find(button), Qt::LeftButton); }
    QStringList labels(const QString &prefix, int first, int last) const {
        QStringList texts;
        for (int i = first; i <= last; ++i)
            texts << find<ValueLabel>(prefix + QString::number(i))->value();
        return texts;
    }
    // What a dialog control shows: its text, or "true" / "false" for a check box.
    QString shown(const QString &name) const {
        auto *control = find<QWidget>(name);
        return control->property(control->metaObject()->userProperty().name()).toString();
    }
    QString items(const QString &name) const {
        QStringList texts;
        for (int i = 0; i < find<QComboBox>(name)->count(); ++i)
            texts << find<QComboBox>(name)->itemText(i);
        return texts.join(' ');
    }
    // The whole settings file, so that "nothing written" is exact.
    QString stored() const {
        QFile file(env.settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QString();
    }
};

// The online directory on a loopback port: every lookup is answered with a page naming
// the caller `name`.
struct FakeDirectory : QObject {
    QTcpServer server;
    QByteArray name = "Karen Hansen";

    FakeDirectory() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->readAll().endsWith("\r\n\r\n"))
                    return;
                socket->write(
                    "HTTP/1.0 200 OK\r\n\r\n<html><table><tr><td><img src=\""
                    "../img/oplysningen/ikoner/resultat-pil.gif\" width=\"15\" height=\"12\">"
                    "</td><td>" +
                    name + "</td></tr></table></html>");
                socket->disconnectFromHost();
            });
        });
    }
    QString host() const { return "http://127.0.0.1:" + QString::number(server.serverPort()); }
};

// What the notification area reports for a click on the icon.
void notify(Tray &tray, QSystemTrayIcon::ActivationReason reason) {
    emit tray.findChild<QSystemTrayIcon *>()->activated(reason);
}

QPixmap picture(const QColor &color, int width = 16, int height = 16) {
    QPixmap pixmap(width, height);
    pixmap.fill(color);
    return pixmap;
}

}  // namespace

Q_DECLARE_METATYPE(ringwise::FatalKind)

class UiTest : public QObject {
    Q_OBJECT

    // The client line, panel, device pane, both tables, then the "Fake outgoing" answer.
    static void oneCall(bool fromDevice, QStringList &seen) {
        Fixture f;
        test::PseudoTerminal device;
        QVERIFY(device.isValid());
        f.connect(device.slavePath());
        QTcpSocket client;
        QVERIFY(f.greeted(client));
        f.find<QCheckBox>("chkDebug")->setChecked(true);
        if (fromDevice)
            QVERIFY(device.write("A12345678#RRR"));
        else
            f.click("Command1");
        seen << test::receive(client, kCallLine.size());
        QTRY_COMPARE(f.labels("lblDebug", 3, 3), QStringList{"3"});
        seen << f.labels("lblDebug", 1, kCallFieldCount).join('|')
             << f.find<QPlainTextEdit>("txtDevice")->toPlainText();
        Database database;
        database.open(f.env.databasePath(), Database::OpenMode::MustExist);
        seen << test::dumpTable(database, "tblCalls") << test::dumpTable(database, "tblContacts");
        // Nobody asked: the contact list is shown, not sent.
        f.click("Command2");
        seen << f.find<QPlainTextEdit>("txtDevice")->toPlainText().section(" Fake outgoing: ", 1);
    }

    std::unique_ptr<test::PrivateBus> m_bus;

    // Connected to the device and the fake directory, with Ib Holm in the book.
    static void connectWithKnownCaller(Fixture &f, test::PseudoTerminal &device,
                                       FakeDirectory &directory) {
        f.store.Write(key::ServerDirectoryHost, directory.host());
        f.connect(device.slavePath());
        {
            Database database;
            database.open(f.env.databasePath(), Database::OpenMode::MustExist);
            database.exec(
                "INSERT INTO tblContacts (FullName, MobilePhone, TotalCalls) "
                "VALUES ('Ib Holm', '11111111', 0)");
        }
    }

    // A known caller, then an unknown one whom the directory names; the number `blocked` is
    // on the block list.
    static void callAndNaming(Fixture &f, test::PseudoTerminal &device, FakeDirectory &directory,
                              const QString &blocked = {}) {
        connectWithKnownCaller(f, device, directory);
        if (!blocked.isEmpty())
            f.service->addBlockEntry(blocked, {});
        QVERIFY(device.write("A11111111#R"));
        auto *list = f.find<QTreeWidget>("lstRecentCalls");
        QTRY_COMPARE(list->topLevelItemCount(), 1);
        f.store.Write(key::ServerCheckDGS, "True");
        QVERIFY(device.write("A22222222#"));
        QTRY_COMPARE(list->topLevelItem(0)->text(1), QStringLiteral("Karen Hansen"));
    }

private slots:
    // Notifications go to a bus of the test's own, never to the desktop running the tests.
    void initTestCase() {
        m_bus = std::make_unique<test::PrivateBus>();
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus->isRunning()
                                                ? m_bus->address().toLocal8Bit()
                                                : QByteArray("unix:path=/nonexistent/ringwise"));
    }

    // ---- The main window

    void startUpState() {
        Fixture f;
        f.store.Write(key::ServerPassword, "long-enough-secret");
        MainWindow &window = f.create();
        QVERIFY(window.start());
        QCOMPARE(window.windowTitle(), "Ringwise Server " + versionText);
        QVERIFY(window.isVisible());
        QCOMPARE(window.size(), QSize(515, 408));
        QVERIFY(window.tray().IsVisible());
        QCOMPARE(f.labels("lblDebug", 1, kCallFieldCount).join(','), "0,,0,0,0,0,0,0,0,0,0,0");
        QCOMPARE(f.labels("lblWSDebug", 0, 4),
                 (QStringList{"No", "Not hosting.", "Not hosting.", "0", "0"}));
        auto *selector = f.find<QComboBox>("Combo1");
        QCOMPARE(selector->currentText(), QStringLiteral("COM1"));
        QCOMPARE(selector->itemText(6), QStringLiteral("COM7"));
        QVERIFY(selector->isEnabled());
        QCOMPARE(f.find("cmdButton")->text(), QStringLiteral("Connect"));
        QVERIFY(f.desktop.steps.isEmpty());

        // Neither box blocks the window, and opening one again only brings it forward.
        for (int twice = 0; twice < 2; ++twice) {
            window.openSettings();
            window.openAbout();
        }
        QStringList open;
        for (QWidget *box : window.findChildren<QWidget *>())
            if (box->isWindow() && box->isVisible() && !box->isModal())
                open << box->windowTitle();
        open.sort();
        QCOMPARE(open, (QStringList{"Ringwise Server [About]", "Ringwise Server [Settings]"}));

        // File > Quit (Ctrl+Q) runs the shut-down, which removes the tray icon, then ends the
        // program.
        QAction *quit = window.menuBar()->actions().first()->menu()->actions().last();
        QCOMPARE(quit->text() + ' ' + quit->shortcut().toString(), QStringLiteral("&Quit Ctrl+Q"));
        quit->trigger();
        QCOMPARE(f.desktop.steps, QStringList{"end 0"});
        QVERIFY(!window.tray().IsVisible());
    }

    void viewDebugSetsTheHeightAndFollowsTheOutput() {
        Fixture f;
        f.store.Write(key::ServerPassword, "long-enough-secret");
        MainWindow &window = f.create();
        QVERIFY(window.start());
        window.resize(window.width(), 300);
        auto *debug = f.find<QCheckBox>("chkDebug");
        debug->click();
        QCOMPARE(window.size(), QSize(515, 578));
        for (int call = 0; call < 12; ++call)
            f.click("Command1");
        auto *pane = f.find<QPlainTextEdit>("txtDevice");
        QCOMPARE(pane->toPlainText(), QString("\nA12345678#RRR").repeated(12));
        QScrollBar *scrollBar = pane->verticalScrollBar();
        QVERIFY(scrollBar->maximum() > 0);
        QCOMPARE(scrollBar->value(), scrollBar->maximum());
        debug->click();
        QCOMPARE(window.size(), QSize(515, 408));
    }

    // Without a password the status says who can get in, below the panels (the window grows
    // by its height), until the settings dialog sets one.
    void openAccessIsShownUntilAPasswordIsSet() {
        Fixture f;
        MainWindow &window = f.create();
        QVERIFY(window.start());
        auto *warning = f.find<QLabel>("lblOpenAccess");
        QCOMPARE(warning->text(),
                 "No password is set: anyone who can reach port 6996 can read and change the call "
                 "log and contacts. Set one with --set ServerPassword=…");
        QVERIFY(warning->isVisible());
        QVERIFY(warning->height() >= warning->heightForWidth(warning->width()));
        QCOMPARE(window.height(), 408 + window.statusBar()->height());

        window.openSettings();
        f.find<QLineEdit>("txtDebug2")->setText("long-enough-secret");
        f.click("cmdButton1");
        QVERIFY(!warning->isVisible());
        QCOMPARE(window.size(), QSize(515, 408));
    }

    void connectAndDisconnect() {
        Fixture f;
        f.connect();
        QTcpSocket client;
        QVERIFY(f.greeted(client));
        auto *selector = f.find<QComboBox>("Combo1");
        QVERIFY(selector->findText(kNoDevice) >= 0);
        QVERIFY(!selector->isEnabled());
        QCOMPARE(f.find("cmdButton")->text(), QStringLiteral("Disconnect"));
        QTRY_COMPARE(f.find<QListWidget>("lstConnections")->count(), 1);
        QCOMPARE(f.labels("lblWSDebug", 2, 3),
                 (QStringList{QString::number(f.service->listeningPort()), "1"}));
        QCOMPARE(f.labels("lblWSDebug", 0, 0), QStringList{"Yes"});
        // The missing device is reported without blocking the window.
        QCOMPARE(f.desktop.steps, QStringList{"posted warning Serial port"});

        f.click("cmdButton");
        QVERIFY(selector->isEnabled());
        QCOMPARE(f.find("cmdButton")->text(), QStringLiteral("Connect"));
        QCOMPARE(f.find<QListWidget>("lstConnections")->count(), 0);
        QCOMPARE(f.labels("lblWSDebug", 0, 3),
                 (QStringList{"No", "Not hosting.", "Not hosting.", "0"}));
        selector->setFocus();
        for (Qt::Key key : {Qt::Key_Home, Qt::Key_Down, Qt::Key_Down})
            QTest::keyClick(selector, key);
        QCOMPARE(f.service->selectedPort(), QStringLiteral("COM3"));
    }

    void fakeCallIsTheSameAsTheDevice() {
        QStringList device, fake;
        oneCall(true, device);
        if (!QTest::currentTestFailed())
            oneCall(false, fake);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(fake, device);
        QCOMPARE(fake[0], QString(kCallLine));
        QVERIFY2(fake[2].endsWith("\nA12345678#RRR"), qPrintable(fake[2]));
        QVERIFY2(fake[5].startsWith("STATS:CNTS;00#") && fake[5].contains(" 12345678 "),
                 qPrintable(fake[5]));
    }

    // A value wider than the panel is cut with "…", whole in its tool tip and the clipboard.
    void longValuesAreElidedNotLost() {
        Fixture f;
        MainWindow &window = f.create();
        QVERIFY(window.start());
        const QString name = "Frederikke Østergaard-Christiansen " + QString("Ib ").repeated(20);
        {
            Database database;
            database.open(f.env.databasePath(), Database::OpenMode::MustExist);
            database.exec(
                "INSERT INTO tblContacts (FullName, HomePhone, TotalCalls) "
                "VALUES (?, '12345678', 0)",
                {name});
        }
        f.service->fakeIncomingCall();
        auto *label = f.find<ValueLabel>("lblDebug5");
        QCOMPARE(label->value(), " " + name);
        QCOMPARE(label->toolTip(), " " + name);
        QVERIFY2(label->text().endsWith(QChar(0x2026)), qPrintable(label->text()));
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
        QVERIFY(label->textInteractionFlags() & Qt::TextSelectableByMouse);
        QContextMenuEvent menuRequest(QContextMenuEvent::Mouse, QPoint(1, 1),
                                      label->mapToGlobal(QPoint(1, 1)));
        QTimer::singleShot(0, [] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            menu->actions().first()->trigger();
            menu->close();
        });
        QApplication::sendEvent(label, &menuRequest);
        QCOMPARE(QGuiApplication::clipboard()->text(), " " + name);
    }

    // Newest first, with names as the directory gives them and rings as they come.
    void recentCallsFollowCallsAndNames() {
        Fixture f;
        test::PseudoTerminal device;
        QVERIFY(device.isValid());
        FakeDirectory directory;
        connectWithKnownCaller(f, device, directory);
        auto *list = f.find<QTreeWidget>("lstRecentCalls");
        const auto rows = [list] {
            QStringList texts;
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                const QTreeWidgetItem *item = list->topLevelItem(i);
                texts << item->text(0) + '|' + item->text(1) + '|' + item->text(2);
            }
            return texts;
        };
        const QString time = "2026-12-06 18:30:05|";
        QVERIFY(device.write("A11111111#RR"));
        QTRY_COMPARE(rows(), QStringList{time + "Ib Holm|2"});
        f.store.Write(key::ServerCheckDGS, "True");
        QVERIFY(device.write("A22222222#R"));
        QTRY_COMPARE(rows(), (QStringList{time + "Karen Hansen|1", time + "Ib Holm|2"}));

        list->itemDoubleClicked(list->topLevelItem(0), 1);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("22222222"));
        // At most 50, the newest.
        f.store.Write(key::ServerCheckDGS, "False");
        for (int call = 0; call < 50; ++call)
            f.service->fakeIncomingCall();
        QCOMPARE(list->topLevelItemCount(), 50);
        QCOMPARE(rows().first(), time + "12345678|3");
    }

    // File > Import… names the caller in the recent calls and shows the summary; File >
    // Export… adds ".vcf" to a name without an ending.
    void importAndExportFromTheFileMenu() {
        Fixture f;
        QVERIFY(f.create().start());
        f.service->fakeIncomingCall();
        const auto action = [&f](const QString &text) {
            for (QAction *item : f.window->findChildren<QAction *>())
                if (item->text() == text)
                    return item;
            return static_cast<QAction *>(nullptr);
        };
        f.desktop.nextFile = f.env.filePath("contacts.vcf");
        QFile file(f.desktop.nextFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("BEGIN:VCARD\nFN:Ib Holm\nTEL:+45 12 34 56 78\nEND:VCARD\n");
        file.close();
        action("&Import…")->trigger();
        QCOMPARE(f.desktop.steps.last(),
                 "information Import: Added 0, updated 1, unchanged 0, refused 0.");
        QTRY_COMPARE(f.find<QTreeWidget>("lstRecentCalls")->topLevelItem(0)->text(1), "Ib Holm");

        f.desktop.nextFile = f.env.filePath("book");
        action("E&xport…")->trigger();
        QCOMPARE(f.desktop.steps.last(),
                 "information Export: Contacts written to " + f.desktop.nextFile + ".vcf.");
    }

    // A blocked caller is listed and named, but neither the call nor its naming is notified.
    void notificationForEveryCallAndNaming_data() {
        QTest::addColumn<QString>("desktopNotify");
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<QStringList>("notified");
        const QString body = "\n2026-12-06 18:30:05";
        QTest::newRow("DesktopNotify=True")
            << "True" << QString()
            << QStringList{"Ib Holm|11111111" + body, "Unknown caller|22222222" + body,
                           "Karen Hansen|22222222" + body};
        QTest::newRow("DesktopNotify=False") << "False" << QString() << QStringList{};
        QTest::newRow("2222* blocked") << "True"
                                       << "2222*" << QStringList{"Ib Holm|11111111" + body};
    }
    void notificationForEveryCallAndNaming() {
        QFETCH(QString, desktopNotify);
        QFETCH(QString, blocked);
        QFETCH(QStringList, notified);
        if (!m_bus->isRunning())
            QSKIP("dbus-daemon is not installed: no private bus for the notifications");
        test::FakeNotifications service(m_bus->address());
        QVERIFY(service.isRegistered());
        Fixture f;
        test::PseudoTerminal device;
        QVERIFY(device.isValid());
        FakeDirectory directory;
        f.store.Write(key::DesktopNotify, desktopNotify);
        callAndNaming(f, device, directory, blocked);
        if (QTest::currentTestFailed())
            return;
        const auto texts = [&service] {
            QStringList shown;
            for (const test::ReceivedNotification &notification : service.received)
                shown << notification.summary + '|' + notification.body;
            return shown;
        };
        // Sent after the window's on the same connection, so it arrives after them.
        DesktopNotifier sentinel(QDBusConnection::sessionBus(), "test", QImage());
        sentinel.notify("end", QString());
        QTRY_VERIFY(!texts().isEmpty() && texts().last() == "end|");
        service.received.removeLast();
        QCOMPARE(texts(), notified);
        for (const test::ReceivedNotification &notification : service.received) {
            QCOMPARE(notification.appName, QStringLiteral("Ringwise Server"));
            QVERIFY(notification.hints.contains("image-data"));
            QCOMPARE(notification.hints.value("desktop-entry"), QVariant("ringwise-server"));
        }
        // The naming replaces the unknown caller's notification, the second one shown, which
        // offers to copy the number.
        if (notified.size() < 3)
            return;
        QCOMPARE(service.received.last().replacesId, 2u);
        QGuiApplication::clipboard()->clear();
        service.invokeAction(2, "copy-number");
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("22222222"));
    }

    // Without a notification service the call goes on as ever; no box, no failure.
    void noNotificationServiceIsNoError() {
        if (!m_bus->isRunning())
            QSKIP("dbus-daemon is not installed: no private bus for the notifications");
        Fixture f;
        MainWindow &window = f.create();
        QVERIFY(window.start());
        QSignalSpy failed(window.findChild<DesktopNotifier *>(), &DesktopNotifier::failed);
        f.service->fakeIncomingCall();
        QVERIFY(failed.wait());
        QCOMPARE(failed.first().at(0).toString(), QStringLiteral("Unknown caller"));
        QVERIFY(f.desktop.steps.isEmpty());
        QCOMPARE(f.labels("lblDebug", 3, 3), QStringList{"3"});
    }

    // A right click on the tray icon leaves the hidden window hidden; a left click shows it.
    void minimisedStartAndTrayClicks() {
        Fixture f;
        f.store.Write(key::ServerMinimized, "True");
        MainWindow &window = f.create();
        QVERIFY(window.start());
        QVERIFY(window.isHidden());
        notify(window.tray(), QSystemTrayIcon::Context);
        QVERIFY(window.isHidden());
        QTRY_VERIFY(!window.tray().isClickLocked());
        notify(window.tray(), QSystemTrayIcon::Trigger);
        QVERIFY(window.isVisible());
        QTRY_VERIFY(!window.tray().isClickLocked());
        notify(window.tray(), QSystemTrayIcon::Trigger);
        QVERIFY(window.isHidden());
    }

    // Hidden while minimised (F12 without a notification area, restored from the task bar,
    // hidden by F12 once the area is there): a left click brings it back normal.
    void trayClickRestoresAMinimisedHiddenWindow() {
        Fixture f;
        MainWindow &window = f.create();
        QVERIFY(window.start());
        window.showMinimized();
        window.hide();
        notify(window.tray(), QSystemTrayIcon::Trigger);
        QVERIFY(window.isVisible());
        QVERIFY(!window.isMinimized());
    }

    void aboutBoxHoldsItsWholeText() {
        Fixture f;
        MainWindow &window = f.create();
        window.openAbout();
        auto *about = window.findChild<QDialog *>("frmAbout");
        QVERIFY(about);
        QVERIFY(QTest::qWaitForWindowExposed(about));
        for (QLabel *label : about->findChildren<QLabel *>()) {
            QVERIFY(label->width() >= label->minimumSizeHint().width());
            if (label->wordWrap())
                QVERIFY2(label->height() >= label->heightForWidth(label->width()),
                         qPrintable(QString::number(label->height())));
        }
    }

    // Without XDG_RUNTIME_DIR the lock and the socket go to a folder of the user's alone.
    void fallbackFolderIsTheUsersAlone_data() {
        QTest::addColumn<int>("mode");  // of the folder there before; 0: none
        QTest::addColumn<uint>("owner");
        QTest::addColumn<QString>("refusal");  // empty: the folder is used
        QTest::newRow("nothing") << 0 << ::getuid() << "";
        QTest::newRow("folder 0700") << 0700 << ::getuid() << "";
        QTest::newRow("folder 0755") << 0755 << ::getuid() << "other users may use it (mode 0755)";
        QTest::newRow("nobody's folder") << 0700 << 65534u << "it belongs to another user";
    }
    void fallbackFolderIsTheUsersAlone() {
        QFETCH(int, mode);
        QFETCH(uint, owner);
        QFETCH(QString, refusal);
        if (owner != ::getuid() && ::geteuid() != 0)
            QSKIP("Only root can give a folder to another user.");
        QTemporaryDir temp;
        const QByteArray tmpDir = qgetenv("TMPDIR"), runtimeDir = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] {
            tmpDir.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmpDir);
            runtimeDir.isNull() ? qunsetenv("XDG_RUNTIME_DIR")
                                : qputenv("XDG_RUNTIME_DIR", runtimeDir);
        });
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        qunsetenv("XDG_RUNTIME_DIR");
        const QString path = temp.filePath(QStringLiteral("ringwise-%1").arg(::getuid()));
        const QByteArray file = QFile::encodeName(path);
        if (mode)
            QVERIFY(::mkdir(file, 0) == 0 && ::chmod(file, mode) == 0 &&
                    ::chown(file, owner, gid_t(-1)) == 0);
        const SingleInstance::Folder folder = SingleInstance::defaultFolder();
        QCOMPARE(folder.path, path);
        QCOMPARE(folder.refusal,
                 refusal.isEmpty()
                     ? QString()
                     : "The folder " + path +
                           " for the lock and the socket of the running window is refused: " +
                           refusal + ". Set XDG_RUNTIME_DIR, or remove the folder.");
        if (refusal.isEmpty())  // no one else may use it
            QCOMPARE(int(QFileInfo(path).permissions() & 0x0077), 0);
    }

    // A second start hands over to the running window, hidden in the tray, and ends with 0.
    void secondStartBringsTheWindowForward() {
        Fixture f;
        SingleInstance instance(f.env.root());
        QVERIFY(instance.claim());
        MainWindow &window = f.create();
        connect(&instance, &SingleInstance::activationRequested, &window,
                &MainWindow::bringToFront);
        QVERIFY(window.start());
        window.MinimizeToTray();
        QVERIFY(window.isHidden());

        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", f.env.root());
        environment.insert("DISPLAY", ":ringwise-test");
        second.setProcessEnvironment(environment);
        second.start(RINGWISE_SERVER_BINARY, QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(window.isVisible());
        QVERIFY(!window.isMinimized());
    }

    // The position and "View debug" come back at the next start; the size follows the view.
    void windowStateIsRemembered() {
        Fixture f;
        const QString path = f.env.filePath("state/window.conf");
        const QPoint position(40, 30);
        f.store.Write(key::ServerPassword, "long-enough-secret");
        {
            Service service(f.store, test::fastEnvironment());
            MainWindow window(service, f.store, f.desktop.hooks(), path);
            QVERIFY(window.start());
            QVERIFY(!window.findChild<QCheckBox *>("chkDebug")->isChecked());
            window.findChild<QCheckBox *>("chkDebug")->click();
            window.move(position);
            window.quit();
        }
        Service service(f.store, test::fastEnvironment());
        MainWindow window(service, f.store, f.desktop.hooks(), path);
        QVERIFY(window.start());
        QVERIFY(window.findChild<QCheckBox *>("chkDebug")->isChecked());
        QCOMPARE(window.pos(), position);
        QCOMPARE(window.size(), QSize(515, 578));
    }

    // Right-click menu: Show/Hide, Connect/Disconnect following hosting, Settings…, Quit.
    void trayMenu() {
        Fixture f;
        f.store.Write(key::ServerCOM, kNoDevice);
        MainWindow &window = f.create(test::loopbackEnvironment());
        QVERIFY(window.start());
        QMenu *menu = window.tray().contextMenu();
        QVERIFY(menu);
        const auto texts = [menu] {
            emit menu->aboutToShow();
            QStringList shown;
            for (QAction *action : menu->actions())
                shown << action->text();
            return shown.join('|');
        };
        const auto trigger = [menu](int row) { menu->actions().at(row)->trigger(); };
        QCOMPARE(texts(), QStringLiteral("&Hide window|&Connect|&Settings…||&Quit"));

        trigger(0);
        QVERIFY(window.isHidden());
        trigger(1);
        QVERIFY(f.service->isRunning());
        QCOMPARE(window.tray().TrayToolTip(), QStringLiteral("Ringwise Server: port %1, %2")
                                                  .arg(f.service->listeningPort())
                                                  .arg(kNoDevice));
        QCOMPARE(texts(), QStringLiteral("&Show window|&Disconnect|&Settings…||&Quit"));
        trigger(0);
        QVERIFY(window.isVisible());
        trigger(1);
        QVERIFY(!f.service->isRunning());
        trigger(2);
        QVERIFY(window.findChild<SettingsDialog *>()->isVisible());

        f.click("cmdButton");
        QCOMPARE(texts(), QStringLiteral("&Hide window|&Disconnect|&Settings…||&Quit"));
        f.desktop.steps.clear();
        trigger(4);
        QCOMPARE(f.desktop.steps, QStringList{"end 0"});
        QVERIFY(!window.tray().IsVisible());
        QCOMPARE(f.service->listeningPort(), quint16(0));
    }

    void bindErrorAtStartUp() {
        Fixture f;
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::LocalHost, 0));
        f.store.Write(key::ServerPort, QString::number(occupant.serverPort()));
        f.store.Write(key::ServerCOM, kNoDevice);
        f.store.Write(key::ServerAutoStart, "True");
        MainWindow &window = f.create();
        QVERIFY(!window.start());
        const QStringList steps = {
            "posted warning Serial port", "critical Bind Error.: Unable to bind.",
            "modal Ringwise Server [Settings]",
            "information Settings: Your settings are saved. Please restart the application.",
            "end 1"};
        QCOMPARE(f.desktop.steps, steps);
        QVERIFY(!window.isVisible());
        QVERIFY(!window.tray().IsVisible());
        // The program is ending: closing the window does not shut down a second time.
        window.close();
        QCOMPARE(f.desktop.steps, steps);
    }

    // The settings dialog open from the menu is the one the bind error shows modally: a
    // second dialog would overwrite what is saved in the first.
    void bindErrorAtConnectReusesTheOpenSettings() {
        Fixture f;
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::LocalHost, 0));
        f.store.Write(key::ServerPort, QString::number(occupant.serverPort()));
        f.store.Write(key::ServerCOM, kNoDevice);
        MainWindow &window = f.create();
        QVERIFY(window.start());
        window.openSettings();
        const QList<SettingsDialog *> open = window.findChildren<SettingsDialog *>();
        QCOMPARE(open.size(), 1);
        f.desktop.steps.clear();

        f.click("cmdButton");
        QVERIFY(f.desktop.steps.contains("critical Bind Error.: Unable to bind."));
        QCOMPARE(f.desktop.steps.count("modal Ringwise Server [Settings]"), 1);
        QVERIFY(f.desktop.lastModal == open.first());
        QCOMPARE(window.findChildren<SettingsDialog *>(), open);
    }

    // With the router as the device, the top row shows its connection as it comes and goes.
    void routerStatusFollowsTheConnection() {
        Fixture f;
        QTcpServer router;
        QVERIFY(router.listen(QHostAddress::LocalHost, 0));
        f.store.Write(key::ServerDevice, "Router");
        f.store.Write(key::ServerRouterHost, "127.0.0.1");
        f.store.Write(key::ServerRouterPort, QString::number(router.serverPort()));
        f.connect();
        auto *status = f.find<QLabel>("lblRouterStatus");
        const QString name = QStringLiteral("Router 127.0.0.1:%1: ").arg(router.serverPort());
        QTRY_COMPARE(status->text(), name + "connected");
        QTRY_VERIFY(router.hasPendingConnections());
        delete router.nextPendingConnection();
        QTRY_COMPARE(status->text(), name + "not connected");
        f.click("cmdButton");
        QVERIFY(status->isHidden());
    }

    // A lookup that keeps failing opens one box; the repeats go to the device output and the
    // status line until a lookup succeeds.
    void repeatedLookupFailureOpensOneBox() {
        Fixture f;
        MainWindow &window = f.create();
        QVERIFY(window.start());
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        f.store.Write(key::ServerDirectoryHost,
                      QStringLiteral("127.0.0.1:%1").arg(closed.serverPort()));
        closed.close();
        f.store.Write(key::ServerCheckDGS, "True");
        auto *pane = f.find<QPlainTextEdit>("txtDevice");
        auto *status = f.find<QLabel>("lblDirectoryStatus");
        const QStringList posted = {"posted warning RingwiseServer"};

        f.service->fakeIncomingCall();
        QTRY_COMPARE(f.desktop.steps, posted);
        f.desktop.openBoxes.clear();
        f.service->fakeIncomingCall();
        QTRY_VERIFY(pane->toPlainText().endsWith("2026-12-06 18:30:05 RingwiseServer: 111"));
        QCOMPARE(f.desktop.steps, posted);
        QCOMPARE(status->text(), QStringLiteral("Directory: not reachable (111) since 18:30"));
        QVERIFY(status->isVisible());

        FakeDirectory directory;
        f.store.Write(key::ServerDirectoryHost, directory.host());
        f.service->fakeIncomingCall();
        QTRY_VERIFY(status->text().isEmpty());
    }

    // With "View debug" off, Tab stops only on what shows: Tab, Tab, Space from the
    // connection list once logged the test call.
    void hiddenControlsTakeNoKeys() {
        Fixture f;
        MainWindow &window = f.create();
        QVERIFY(window.start());
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        f.find<QListWidget>("lstConnections")->setFocus();
        for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Space})
            QTest::keyClick(QApplication::focusWidget(), key);
        QStringList reached;
        for (int tab = 0; tab < 20; ++tab) {
            QWidget *focus = QApplication::focusWidget();
            if (!focus->isVisible())
                reached << focus->objectName();
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(reached, QStringList());
        QCOMPARE(f.labels("lblDebug", 3, 3), QStringList{"0"});
        QVERIFY(f.service->recentCalls().empty());
    }

    // With the icon in the tray, closing hides the window and the server goes on; Quit ends
    // it. Without a notification area closing quits.
    void closeHidesToTheTrayOrQuits_data() {
        QTest::addColumn<bool>("notificationArea");
        QTest::newRow("tray") << true;
        QTest::newRow("no tray") << false;
    }
    void closeHidesToTheTrayOrQuits() {
        QFETCH(bool, notificationArea);
        Fixture f;
        f.desktop.notificationArea = notificationArea;
        f.connect();
        f.desktop.steps.clear();
        f.window->close();
        QVERIFY(f.window->isHidden());
        QTcpSocket client;
        QCOMPARE(f.greeted(client), notificationArea);
        QCOMPARE(f.desktop.steps, notificationArea ? QStringList() : QStringList{"end 0"});
        if (notificationArea) {
            f.window->quit();
            QCOMPARE(f.desktop.steps, QStringList{"end 0"});
        }
    }

    // A changed port is used at the next Connect; while connected, Ok offers to reconnect.
    void changedPortIsUsedAtTheNextConnect() {
        Fixture f;
        const quint16 first = test::loopbackPortForTls();
        f.store.Write(key::ServerListen, "127.0.0.1");
        f.store.Write(key::ServerPort, QString::number(first));
        f.store.Write(key::ServerCOM, kNoDevice);
        MainWindow &window = f.create();
        QVERIFY(window.start());
        const quint16 second = test::loopbackPortForTls();
        const auto changePort = [&](quint16 port) {
            window.openSettings();
            f.find<QLineEdit>("txtDebug0")->setText(QString::number(port));
            f.click("cmdButton1");
            QTRY_VERIFY(!window.findChild<SettingsDialog *>());
        };
        changePort(second);
        QVERIFY(f.desktop.steps.isEmpty());
        f.click("cmdButton");
        QCOMPARE(f.service->listeningPort(), second);

        f.desktop.steps.clear();
        f.desktop.nextAnswer = true;
        changePort(first);
        QCOMPARE(f.desktop.steps,
                 QStringList{"ask Settings: The changes take effect at the next Connect.|"
                             "Reconnect now"});
        QCOMPARE(f.service->listeningPort(), first);
        QVERIFY(f.service->isRunning());
    }

    // A box with a short text is still wide enough for its whole title.
    void postedBoxShowsItsWholeTitle() {
        const QString title = "RingwiseServer";
        std::unique_ptr<QWidget> box(
            DesktopHooks::desktop().postMessage(nullptr, MessageIcon::Warning, title, "2"));
        QVERIFY(box);
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        QVERIFY(box->width() > box->fontMetrics().horizontalAdvance(title) + 100);
    }

    void databaseFatalSteps() {
        const QStringList steps{"critical Title: Text", "settings dialog", "tray removed", "end 1"};
        Desktop desktop;
        DesktopFailurePath path(
            nullptr, desktop.hooks(), [&] { desktop.steps << "settings dialog"; },
            [&] { desktop.steps << "tray removed"; }, [](const QString &, const QString &) {});
        path.fatal(FatalKind::Database, "Title", "Text");
        QVERIFY(path.hasEnded());
        // A failure reported while the boxes were open changes nothing.
        path.fatal(FatalKind::Bind, "Title", "Text");
        QCOMPARE(desktop.steps, steps);
    }

    // ---- The settings dialog

    void dialogFallbacks_data() {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("shown");
        const QString db = "<default>";
        const QStringList kMqttDefaults = {"", "", "", "", "false", "", "ringwise", "true"};
        const QStringList kMqttStored = {
            "MqttHost=broker.lan", "MqttPort=8883",  "MqttUser=phone",       "MqttPassword=pw",
            "MqttTls=True",        "MqttCa=/ca.pem", "MqttTopic=home/phone", "MqttDiscovery=False"};
        const QStringList kMqttShown = {"broker.lan", "8883",    "phone",      "pw",
                                        "true",       "/ca.pem", "home/phone", "false"};
        QTest::newRow("nothing stored")
            << QStringList{}
            << QStringList{"6996", "false", "true",  db,   "COM1", "", "false", "",    "Box",
                           "",     "",      "10000", "64", "",     "", "",      "true"} +
                   kMqttDefaults;
        QTest::newRow("all stored") << QStringList{"ServerPort=8000",
                                                   "ServerAutoStart=True",
                                                   "ServerCheckDGS=False",
                                                   "ServerDB=/srv/calls.db",
                                                   "ServerCOM=/dev/ttyUSB0",
                                                   "ServerPassword=secret-password",
                                                   "ServerMinimized=True",
                                                   "ServerPing=45",
                                                   "ServerDevice=Modem",
                                                   "ServerListen=::1",
                                                   "ServerMaxClients=500",
                                                   "ServerMaxPerAddress=0",
                                                   "ServerRouterHost=router.home",
                                                   "ServerTlsPort=6997",
                                                   "ServerTlsCert=/etc/ringwise/cert.pem",
                                                   "ServerTlsKey=/etc/ringwise/key.pem",
                                                   "DesktopNotify=False"} +
                                           kMqttStored
                                    << QStringList{"8000",
                                                   "true",
                                                   "false",
                                                   "/srv/calls.db",
                                                   "/dev/ttyUSB0",
                                                   "secret-password",
                                                   "true",
                                                   "45",
                                                   "Modem",
                                                   "router.home",
                                                   "::1",
                                                   "500",
                                                   "0",
                                                   "6997",
                                                   "/etc/ringwise/cert.pem",
                                                   "/etc/ringwise/key.pem",
                                                   "false"} +
                                           kMqttShown;
        QTest::newRow("empty or not exactly True")
            << QStringList{"ServerPort=",        "ServerAutoStart=true", "ServerCheckDGS=yes",
                           "ServerDB=",          "ServerCOM=",           "ServerMinimized=true",
                           "ServerDevice=modem", "DesktopNotify=no",     "MqttTopic="}
            << QStringList{"6996", "false", "false", db,   "COM1", "", "false", "",     "Box",
                           "",     "",      "10000", "64", "",     "", "",      "false"} +
                   kMqttDefaults;
    }
    void dialogFallbacks() {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, shown);
        Fixture f;
        for (const QString &assignment : stored)
            QVERIFY(f.store.Write(assignment.section('=', 0, 0), assignment.section('=', 1)));
        f.openDialog();
        shown.replaceInStrings("<default>", defaultDatabasePath());
        QStringList texts;
        for (const QString &name : kControls)
            texts << f.shown(name);
        QCOMPARE(texts, shown);
        QVERIFY(f.items("cboDebug0").startsWith("COM1 COM2 COM3 COM4 COM5 COM6 COM7"));
        QCOMPARE(f.items("cboDebug1"), QStringLiteral("30 60 90 120 150 180 210 240 270 300"));
    }

    // The settings table's rules, which --set applies too; the row name is the key and
    // the text typed into its control.
    void dialogRules_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("refusal");
        const QString shortPassword = "Your password must be more than 8 characters long.";
        const auto row = [](const char *name, const char *control, const QString &refusal) {
            QTest::newRow(name) << QString(control) << refusal;
        };
        row("ServerPassword=", "txtDebug2", "");
        row("ServerPassword=12345678", "txtDebug2", shortPassword);
        row("ServerPassword=123456789", "txtDebug2", "");
        row("ServerPassword=        ", "txtDebug2", shortPassword);
        row("ServerPassword= secret  ", "txtDebug2", "");
        row("ServerPort=65535", "txtDebug0", "");
        row("ServerPort=70000", "txtDebug0",
            "ServerPort takes a port number between 1 and 65535; got \"70000\".");
        row("ServerPort=abc", "txtDebug0",
            "ServerPort takes a port number between 1 and 65535; got \"abc\".");
        row("ServerCOM=com9", "cboDebug0",
            "ServerCOM takes COM1 to COM7 or a device path such as /dev/ttyUSB0; got \"com9\".");
        row("ServerPing=abc", "cboDebug1",
            "ServerPing takes a number of seconds such as 120; got \"abc\".");
    }
    void dialogRules() {
        QFETCH(QString, control);
        QFETCH(QString, refusal);
        const QString assignment = QString::fromUtf8(QTest::currentDataTag());
        const QString key = assignment.section('=', 0, 0), text = assignment.section('=', 1);
        Fixture f;
        QVERIFY(f.store.Write(key, "old"));
        SettingsDialog &dialog = f.openDialog();
        if (auto *box = f.find<QComboBox>(control))
            box->setEditText(text);
        else
            f.find<QLineEdit>(control)->setText(text);
        f.click("cmdButton1");
        QCOMPARE(dialog.isVisible(), !refusal.isEmpty());
        QCOMPARE(f.store.Read(key), refusal.isEmpty() ? text : "old");
        QCOMPARE(f.desktop.steps, refusal.isEmpty()
                                      ? QStringList()
                                      : QStringList{"information Settings: " + refusal});
    }

    void refusedWriteIsReportedAndCloses() {
        Fixture f;
        // A folder where the file should be: the store refuses every write.
        QVERIFY(QDir().mkpath(f.env.filePath("settings-folder")));
        SettingsStore refusing(f.env.filePath("settings-folder"));
        SettingsDialog &dialog = f.openDialog(&refusing);
        f.click("cmdButton1");
        QCOMPARE(f.desktop.steps, QStringList{"warning Settings: The changes could not be saved."});
        QVERIFY(!dialog.isVisible());
    }

    // "Cancel" writes nothing; "Ok" stores the texts as typed, the check boxes as True/False.
    void cancelOrOk_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("file");
        QTest::newRow("Cancel") << QString("cmdButton0") << "[Settings]\nServerPing=120\n";
        QTest::newRow("Ok")
            << "cmdButton1"
            << "[Settings]\nDesktopNotify=False\nMqttCa=\nMqttDiscovery=True\n"
               "MqttHost=broker.lan\nMqttPassword=\nMqttPort=\nMqttTls=False\n"
               "MqttTopic=ringwise\nMqttUser=\nServerAutoStart=True\nServerCOM=/dev/ttyUSB1\n"
               "ServerCheckDGS=False\nServerDB=/srv/calls.db\n"
               "ServerDevice=Router\nServerListen=\nServerMaxClients=10000\n"
               "ServerMaxPerAddress=64\nServerMinimized=False\nServerPassword=\n"
               "ServerPing=45\nServerPort=8080\nServerRouterHost=192.168.178.1\n"
               "ServerTlsCert=\n"
               "ServerTlsKey=\nServerTlsPort=\n";
    }
    void cancelOrOk() {
        QFETCH(QString, button);
        QFETCH(QString, file);
        Fixture f;
        QVERIFY(f.store.Write(key::ServerPing, "120"));
        SettingsDialog &dialog = f.openDialog();
        f.find<QLineEdit>("txtDebug0")->setText("8080");
        f.find<QComboBox>("cboDebug0")->setEditText("/dev/ttyUSB1");
        f.find<QComboBox>("cboDebug1")->setEditText("45");
        f.find<QComboBox>("cboDevice")->setCurrentText("Router");
        f.find<QLineEdit>("txtRouterHost")->setText("192.168.178.1");
        f.find<QLineEdit>("txtDebug1")->setText("/srv/calls.db");
        f.find<QCheckBox>("chkDebug0")->setChecked(true);
        f.find<QCheckBox>("chkDebug1")->setChecked(false);
        f.find<QCheckBox>("chkDebug3")->setChecked(false);
        f.find<QLineEdit>("txtMqttHost")->setText("broker.lan");
        f.click(button);
        QVERIFY(!dialog.isVisible());
        QVERIFY(f.desktop.steps.isEmpty());
        QCOMPARE(f.stored(), file);
    }

    // A cancelled file dialog leaves the field as it was; nothing is stored before "Ok".
    void browsePutsTheChosenFileInTheField() {
        Fixture f;
        QVERIFY(f.store.Write(key::ServerDB, "/old/calls.db"));
        const QString before = f.stored();
        f.openDialog();
        f.click("cmdButton2");
        QCOMPARE(f.find<QLineEdit>("txtDebug1")->text(), QStringLiteral("/old/calls.db"));
        f.desktop.nextFile = "/srv/calls.db";
        f.click("cmdButton2");
        QCOMPARE(f.find<QLineEdit>("txtDebug1")->text(), QStringLiteral("/srv/calls.db"));
        const QString shown = "Open Ringwise database.|" + defaultDatabasePath() +
                              "|Ringwise database (*.db);;All files (*)";
        QCOMPARE(f.desktop.steps, (QStringList{shown, shown}));
        QCOMPARE(f.stored(), before);
    }

    // ---- The tray icon

    void clickLockDropsClicksUntilAfterTheHandler() {
        Tray tray;
        auto *timer1 = tray.findChild<QTimer *>("Timer1");
        QVERIFY(timer1);
        QList<int> reported;
        bool timerRanDuringHandler = true;
        // A double or middle click is no button and does not lock out the next click.
        notify(tray, QSystemTrayIcon::DoubleClick);
        notify(tray, QSystemTrayIcon::MiddleClick);
        QVERIFY(!tray.isClickLocked());
        connect(&tray, &Tray::MouseClick, [&](int button) {
            reported << button;
            if (reported.size() == 1) {
                timerRanDuringHandler = timer1->isActive();
                notify(tray, QSystemTrayIcon::Context);  // a click while the handler runs
            }
        });
        notify(tray, QSystemTrayIcon::Trigger);
        QVERIFY(!timerRanDuringHandler);
        QCOMPARE(timer1->interval(), 15);
        notify(tray, QSystemTrayIcon::Trigger);  // right after the handler returned
        QCOMPARE(reported, QList<int>{1});
        QTRY_VERIFY_WITH_TIMEOUT(!tray.isClickLocked(), 1000);
        notify(tray, QSystemTrayIcon::Context);
        QCOMPARE(reported, (QList<int>{1, 2}));
    }

    void tipField_data() {
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QString>("field");
        const QString seventy = QString("0123456789").repeated(7);
        QTest::newRow("Ringwise Server") << QString("Ringwise Server") << " Ringwise Server ";
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("63 characters") << seventy.left(63) << ' ' + seventy.left(63);
        QTest::newRow("70 characters") << seventy << ' ' + seventy.left(63);
    }
    void tipField() {
        QFETCH(QString, toolTip);
        QFETCH(QString, field);
        QCOMPARE(Tray::tipField(toolTip), field);
    }

    // The picture and tip reach the icon at the next Show(true); Show(false) removes it.
    void showAndPicture() {
        Tray tray;
        tray.setTrayImage(picture(Qt::red, 100, 60));
        QCOMPARE(tray.TrayImage().availableSizes(), QList<QSize>{QSize(32, 32)});
        QCOMPARE(tray.TrayImage().pixmap(32, 32).toImage().pixelColor(16, 16), QColor(Qt::red));
        auto *icon = tray.findChild<QSystemTrayIcon *>();
        tray.Show(true);
        QVERIFY(tray.IsVisible());
        QCOMPARE(icon->toolTip(), QStringLiteral(" Ringwise Server "));
        tray.setTrayToolTip("Calls");
        QCOMPARE(icon->toolTip(), QStringLiteral(" Ringwise Server "));
        tray.Show(true);
        QCOMPARE(icon->toolTip(), QStringLiteral(" Calls "));
        tray.Show(false);
        tray.Show(false);
        QVERIFY(!tray.IsVisible());
        tray.setTrayImage(QPixmap());
        QVERIFY(tray.TrayImage().isNull());
    }

    void withoutTheIconTheWindowIsMinimised_data() {
        QTest::addColumn<bool>("notificationArea");
        QTest::addColumn<bool>("iconShown");
        QTest::newRow("no notification area") << false << true;
        QTest::newRow("icon removed") << true << false;
    }
    void withoutTheIconTheWindowIsMinimised() {
        QFETCH(bool, notificationArea);
        QFETCH(bool, iconShown);
        QWidget window;
        Tray tray;
        tray.setTrayImage(picture(Qt::blue));
        TrayWindowControl control(window, tray, [&] { return notificationArea; });
        window.show();
        tray.Show(iconShown);
        control.MinimizeToTray();
        QVERIFY(!window.isHidden());
        QVERIFY(window.isMinimized());
    }
};

QTEST_MAIN(UiTest)
#include "ui_test.moc"
