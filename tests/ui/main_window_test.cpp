#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "core/paths.h"
#include "core/service.h"
#include "core/settings_store.h"
#include "db/database.h"
#include "support/fast_environment.h"
#include "support/loopback.h"
#include "support/pseudo_terminal.h"
#include "support/table_dump.h"
#include "support/temp_environment.h"
#include "ui/main_window.h"
#include "ui/tray.h"

using namespace ringwise;

namespace {

const QByteArray kGreeting = "Welcome to Ringwise Server [0.92]";
const QByteArray kCallLine = "CALL_:,12345678,,,,,,";

// The desktop as the window sees it; every box, modal dialog and end is recorded.
struct Desktop {
    QStringList steps;
    bool notificationArea = true;

    DesktopHooks hooks() {
        DesktopHooks hooks;
        hooks.showMessage = [this](QWidget *, MessageIcon, const QString &title,
                                   const QString &text) {
            steps << "box " + title + ": " + text.section("\r\n", 0, 0);
        };
        hooks.postMessage = [this](QWidget *, MessageIcon, const QString &title, const QString &) {
            steps << "posted " + title;
        };
        hooks.runModal = [this](QDialog &dialog) { steps << "modal " + dialog.windowTitle(); };
        hooks.chooseFile = [](QWidget *, const QString &, const QString &, const QString &) {
            return QString();
        };
        hooks.hasNotificationArea = [this] { return notificationArea; };
        hooks.endProgram = [this](int status) { steps << QStringLiteral("end %1").arg(status); };
        return hooks;
    }
};

// One window over one service, both in a temporary environment.
struct Fixture {
    test::TempEnvironment env;
    SettingsStore store{defaultSettingsPath()};
    Desktop desktop;
    std::unique_ptr<Service> service;
    std::unique_ptr<MainWindow> window;

    Fixture() { store.Write(key::ServerCheckDGS, "False"); }
    MainWindow &create() {
        service = std::make_unique<Service>(store, test::fastEnvironment());
        window = std::make_unique<MainWindow>(*service, store, desktop.hooks());
        return *window;
    }
    // Hosting on a free port, the serial port pointing at a device or at nothing.
    void connect(const QString &device = QStringLiteral("/dev/ringwise-test-no-such-device")) {
        store.Write(key::ServerPort, QString::number(test::freeLoopbackPort()));
        store.Write(key::ServerCOM, device);
        if (create().start())
            click("cmdButton");
    }
    bool greeted(QTcpSocket &client) const {
        client.connectToHost(QHostAddress::LocalHost, service->listeningPort());
        return test::receive(client, kGreeting.size()) == kGreeting;
    }
    template <typename T>
    T *find(const QString &name) const {
        return window->findChild<T *>(name);
    }
    QString label(const QString &name) const { return find<QLabel>(name)->text(); }
    QStringList labels(const QString &prefix, int first, int last) const {
        QStringList texts;
        for (int i = first; i <= last; ++i)
            texts << label(prefix + QString::number(i));
        return texts;
    }
    void click(const QString &button) const {
        QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton);
    }
    void notifyTray(QSystemTrayIcon::ActivationReason reason) const {
        emit window->tray().findChild<QSystemTrayIcon *>()->activated(reason);
    }
};

// What one call leaves behind: the panel, the device pane, the rows and the client line.
struct Observed {
    QStringList panel;
    QString devicePane;
    QString calls;
    QString contacts;
    QByteArray clientLine;
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    static void oneCall(bool fromDevice, Observed &observed) {
        Fixture f;
        test::PseudoTerminal device;
        QVERIFY(device.isValid());
        f.connect(device.slavePath());
        QTcpSocket client;
        QVERIFY(f.greeted(client));
        if (fromDevice)
            QVERIFY(device.write("A12345678#RRR"));
        else
            f.click("Command1");
        observed.clientLine = test::receive(client, kCallLine.size());
        QTRY_COMPARE(f.label("lblDebug3"), QStringLiteral("3"));
        observed.panel = f.labels("lblDebug", 1, kCallFieldCount);
        observed.devicePane = f.find<QPlainTextEdit>("txtDevice")->toPlainText();
        Database database;
        database.open(f.env.databasePath(), Database::OpenMode::MustExist);
        observed.calls = test::dumpTable(database, "tblCalls");
        observed.contacts = test::dumpTable(database, "tblContacts");
    }

private slots:
    void startUpState() {
        Fixture f;
        MainWindow &window = f.create();
        QVERIFY(window.start());
        QCOMPARE(window.windowTitle(), QStringLiteral("Ringwise Server 0.92"));
        QVERIFY(window.isVisible());
        QCOMPARE(window.size(), QSize(515, 408));
        QVERIFY(window.tray().IsVisible());

        QStringList captions;
        QStringList reset;
        for (int i = 1; i <= kCallFieldCount; ++i) {
            captions << CallFields::caption(static_cast<CallField>(i));
            reset << CallFields()[static_cast<CallField>(i)];
        }
        QCOMPARE(f.labels("lblInfo", 1, kCallFieldCount), captions);
        QCOMPARE(f.labels("lblDebug", 1, kCallFieldCount), reset);
        QCOMPARE(f.labels("lblWSInfo", 0, 4), (QStringList{"Is hosting?", "Local IP", "Local port",
                                                           "Connections", "Next ping"}));
        QCOMPARE(f.labels("lblWSDebug", 0, 4),
                 (QStringList{"No", "Not hosting.", "Not hosting.", "0", "0"}));
        auto *selector = f.find<QComboBox>("Combo1");
        QCOMPARE(selector->currentText(), QStringLiteral("COM1"));
        QCOMPARE(selector->count(), 7);
        QVERIFY(selector->isEnabled());
        QCOMPARE(f.find<QPushButton>("cmdButton")->text(), QStringLiteral("Connect"));
        QVERIFY(!f.find<QCheckBox>("chkDebug")->isChecked());
        QVERIFY(f.desktop.steps.isEmpty());
    }

    void viewDebugSetsTheHeight_data() {
        QTest::addColumn<int>("before");
        QTest::newRow("408") << 408;
        QTest::newRow("300") << 300;
        QTest::newRow("700") << 700;
    }
    void viewDebugSetsTheHeight() {
        QFETCH(int, before);
        Fixture f;
        MainWindow &window = f.create();
        QVERIFY(window.start());
        window.resize(window.width(), before);
        f.find<QCheckBox>("chkDebug")->click();
        QCOMPARE(window.size(), QSize(515, 578));
        f.find<QCheckBox>("chkDebug")->click();
        QCOMPARE(window.size(), QSize(515, 408));
    }

    void boxesOpenOnceWithoutBlocking() {
        Fixture f;
        MainWindow &window = f.create();
        QVERIFY(window.start());
        const auto openBoxes = [&] {
            QStringList titles;
            for (QWidget *box : window.findChildren<QWidget *>())
                if (box->isWindow() && box->isVisible() && !box->isModal())
                    titles << box->windowTitle();
            titles.sort();
            return titles;
        };
        window.openSettings();
        window.openAbout();
        window.openSettings();
        window.openAbout();
        QCOMPARE(openBoxes(),
                 (QStringList{"Ringwise Server [About]", "Ringwise Server [Settings]"}));
    }

    void connectAndDisconnect() {
        Fixture f;
        f.connect();
        QTcpSocket client;
        QVERIFY(f.greeted(client));
        auto *selector = f.find<QComboBox>("Combo1");
        QCOMPARE(selector->itemText(7), QStringLiteral("/dev/ringwise-test-no-such-device"));
        QVERIFY(!selector->isEnabled());
        QCOMPARE(f.find<QPushButton>("cmdButton")->text(), QStringLiteral("Disconnect"));
        QTRY_COMPARE(f.find<QListWidget>("lstConnections")->count(), 1);
        QCOMPARE(f.label("lblWSDebug0"), QStringLiteral("Yes"));
        QCOMPARE(f.label("lblWSDebug2"), QString::number(f.service->listeningPort()));
        QCOMPARE(f.label("lblWSDebug3"), QStringLiteral("1"));
        // The missing device is reported without blocking the window.
        QCOMPARE(f.desktop.steps.size(), 1);
        QVERIFY(f.desktop.steps.first().startsWith("posted "));

        f.click("cmdButton");
        QVERIFY(selector->isEnabled());
        QCOMPARE(f.find<QPushButton>("cmdButton")->text(), QStringLiteral("Connect"));
        QCOMPARE(f.find<QListWidget>("lstConnections")->count(), 0);
        QCOMPARE(f.labels("lblWSDebug", 0, 3),
                 (QStringList{"No", "Not hosting.", "Not hosting.", "0"}));
        selector->setFocus();
        QTest::keyClick(selector, Qt::Key_Home);
        QTest::keyClick(selector, Qt::Key_Down);
        QTest::keyClick(selector, Qt::Key_Down);
        QCOMPARE(f.service->selectedPort(), QStringLiteral("COM3"));
    }

    void fakeCallIsTheSameAsTheDevice() {
        Observed device;
        Observed fake;
        oneCall(true, device);
        if (!QTest::currentTestFailed())
            oneCall(false, fake);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(device.clientLine, kCallLine);
        QCOMPARE(fake.clientLine, kCallLine);
        QCOMPARE(fake.panel, device.panel);
        QCOMPARE(fake.devicePane, QStringLiteral("\nA12345678#RRR"));
        QCOMPARE(device.devicePane, fake.devicePane);
        QCOMPARE(fake.calls, device.calls);
        QCOMPARE(fake.contacts, device.contacts);
    }

    void fakeOutgoingAnswersTheClients() {
        Fixture f;
        f.connect();
        QTcpSocket client;
        QVERIFY(f.greeted(client));
        f.click("Command1");
        QCOMPARE(test::receive(client, kCallLine.size()), kCallLine);
        // Nobody asked, yet every client receives the contact list.
        f.click("Command2");
        const QByteArray answer = test::receive(client, 20);
        QVERIFY2(answer.startsWith("STATS:CNTS;00#") && answer.contains(" 12345678 "), answer);
    }

    void deviceOutputFollowsTheEnd() {
        Fixture f;
        QVERIFY(f.create().start());
        f.find<QCheckBox>("chkDebug")->click();
        for (int call = 0; call < 12; ++call)
            f.click("Command1");
        auto *pane = f.find<QPlainTextEdit>("txtDevice");
        QCOMPARE(pane->toPlainText(), QString("\nA12345678#RRR").repeated(12));
        QVERIFY(pane->verticalScrollBar()->maximum() > 0);
        QCOMPARE(pane->verticalScrollBar()->value(), pane->verticalScrollBar()->maximum());
    }

    void minimisedStart_data() {
        QTest::addColumn<bool>("notificationArea");
        QTest::newRow("notification area") << true;
        QTest::newRow("no notification area") << false;
    }
    void minimisedStart() {
        QFETCH(bool, notificationArea);
        Fixture f;
        f.desktop.notificationArea = notificationArea;
        f.store.Write(key::ServerMinimized, "True");
        MainWindow &window = f.create();
        QVERIFY(window.start());
        if (!notificationArea) {
            // A hidden window could never come back: it waits in the task bar instead.
            QVERIFY(window.isMinimized());
            return;
        }
        QVERIFY(window.isHidden());
        f.notifyTray(QSystemTrayIcon::Context);
        QVERIFY(window.isHidden());
        QTRY_VERIFY(!window.tray().isClickLocked());
        f.notifyTray(QSystemTrayIcon::Trigger);
        QVERIFY(window.isVisible());
    }

    void closingShutsDownAndEnds_data() {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("E&xit") << true;
        QTest::newRow("close box") << false;
    }
    void closingShutsDownAndEnds() {
        QFETCH(bool, fromMenu);
        Fixture f;
        f.connect();
        f.desktop.steps.clear();
        if (fromMenu) {
            for (QAction *action : f.window->findChildren<QAction *>())
                if (action->text() == QLatin1String("E&xit"))
                    action->trigger();
        } else
            f.window->close();
        QCOMPARE(f.desktop.steps, QStringList{"end 0"});
        QVERIFY(!f.window->tray().IsVisible());
        QCOMPARE(f.label("lblWSDebug0"), QStringLiteral("No"));
    }

    void bindErrorAtStartUp() {
        Fixture f;
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::LocalHost, 0));
        f.store.Write(key::ServerPort, QString::number(occupant.serverPort()));
        f.store.Write(key::ServerAutoStart, "True");
        MainWindow &window = f.create();
        QVERIFY(!window.start());
        QCOMPARE(
            f.desktop.steps,
            (QStringList{"box Bind Error.: Unable to bind.", "modal Ringwise Server [Settings]",
                         "box Settings: Your settings are saved. Please restart the "
                         "application.",
                         "end 1"}));
        QVERIFY(!window.isVisible());
        QVERIFY(!window.tray().IsVisible());
        // The program is ending: closing the window does not shut down a second time.
        window.close();
        QCOMPARE(f.desktop.steps.size(), 4);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
