// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "book/contact_export.h"
#include "call/call_line.h"
#include "core/settings_store.h"
#include "core/settings_table.h"
#include "core/version.h"
#include "notify/app_icon_image.h"
#include "notify/call_notification.h"
#include "notify/desktop_notifier.h"
#include "ui/about_dialog.h"
#include "ui/app_icon.h"
#include "ui/block_list_dialog.h"
#include "ui/serial_port_choices.h"
#include "ui/settings_dialog.h"
#include "ui/tray.h"
#include "ui/tray_window_control.h"
#include "ui/value_label.h"

namespace ringwise {

namespace {

// Logical pixels: Qt scales them with the screen's device pixel ratio. The size at start
// and after "View debug" changes; the user may resize the window freely.
constexpr int kWindowWidth = 515;
constexpr int kNormalHeight = 408;
constexpr int kDebugHeight = 578;
// The service bounds the output it keeps; the pane bounds what it shows.
constexpr int kDeviceOutputLines = 2000;
const QString kPositionKey = QStringLiteral("Window/Position");
const QString kDebugKey = QStringLiteral("Window/ViewDebug");
const QString kInTrayText =
    QStringLiteral("Ringwise Server keeps running in the tray. Quit from its menu.");

constexpr std::array<CallField, 6> kLeftColumn = {CallField::CallType,  CallField::Number,
                                                  CallField::Rings,     CallField::CallTime,
                                                  CallField::ContactId, CallField::CallId};
constexpr std::array<CallField, 6> kRightColumn = {CallField::Name,        CallField::HomePhone,
                                                   CallField::MobilePhone, CallField::WorkPhone,
                                                   CallField::WorkFax,     CallField::Email};

const std::array<QString, 5> kHostingCaptions = {"Is hosting?", "Local IP", "Local port",
                                                 "Connections", "Next ping"};

int fieldIndex(CallField field) {
    return static_cast<int>(field) - 1;
}

// The slot of a connection list line, "[slot]: address:port".
int slotOfLine(const QString &line) {
    return QStringView(line).mid(1, line.indexOf(QLatin1Char(']')) - 1).toInt();
}

// The row at which the slot's line stands, or would stand: the list is in slot order, so a
// client joining or leaving costs a binary search, not a rebuild.
int rowOfSlot(const QListWidget &list, int slot) {
    int low = 0;
    int high = list.count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (slotOfLine(list.item(middle)->text()) < slot)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

ValueLabel *valueLabel(const QString &name) {
    auto *label = new ValueLabel;
    label->setObjectName(name);
    return label;
}

// Brings an open box forward, or creates it afresh; neither blocks the main window.
template <typename Dialog, typename Create>
void showNonModal(QPointer<Dialog> &dialog, Create create) {
    if (!dialog) {
        dialog = create();
        dialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

}  // namespace

MainWindow::MainWindow(Service &service, SettingsStore &store, DesktopHooks hooks,
                       QString windowStatePath, QWidget *parent)
    : QMainWindow(parent),
      m_service(service),
      m_store(store),
      m_hooks(std::move(hooks)),
      m_windowStatePath(std::move(windowStatePath)),
      m_tray1(new Tray(this)),
      m_trayControl(new TrayWindowControl(*this, *m_tray1, m_hooks.hasNotificationArea, this)),
      m_notifier(new DesktopNotifier(QDBusConnection::sessionBus(), kProductName,
                                     drawAppIcon(kNotificationIconSize), this)),
      m_failures(
          this, m_hooks, [this] { showSettingsModally(); }, [this] { m_tray1->Show(false); },
          [this](const QString &title, const QString &text) {
              m_service.noteInDeviceOutput(title, text);
          }) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kProductName + QLatin1Char(' ') + versionText);
    setWindowIcon(appIcon());
    m_tray1->setTrayImage(windowIcon());

    buildMenus();
    buildTrayMenu();
    layOut();
    buildStatusBar();
    resize(kWindowWidth, kNormalHeight);
    connectService();
}

bool MainWindow::start() {
    bool minimized = false;
    const QMetaObject::Connection watch =
        connect(&m_service, &Service::minimizeRequested, this, [&minimized] { minimized = true; });
    const bool started = m_service.start();
    disconnect(watch);
    showRecentCalls();
    restoreWindowState();
    if (started && !minimized) {
        show();
        // Boxes of the start-up were posted before the window was there to hold them.
        m_failures.bringBoxesForward();
        m_boxesFollowPlacement = true;
    }
    return started;
}

void MainWindow::MinimizeToTray() {
    m_trayControl->MinimizeToTray();
}

void MainWindow::bringToFront() {
    m_trayControl->bringToFront();
}

void MainWindow::openSettings() {
    showNonModal(m_settingsDialog, [this] {
        auto *dialog = new SettingsDialog(m_store, m_hooks, this);
        connect(dialog, &SettingsDialog::connectionSettingsChanged, this,
                &MainWindow::askToReconnect);
        return dialog;
    });
}

void MainWindow::openBlockList() {
    showNonModal(m_blockListDialog,
                 [this] { return new BlockListDialog(m_service, m_hooks, this); });
}

void MainWindow::openAbout() {
    showNonModal(m_aboutDialog, [this] { return new AboutDialog(this); });
}

void MainWindow::quit() {
    m_quitting = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    // With the icon in the tray the window can come back: closing it only hides it.
    if (!m_quitting && !m_failures.hasEnded() && m_hooks.hasNotificationArea() &&
        m_tray1->IsVisible()) {
        event->ignore();
        hideToTray();
        return;
    }
    // After a fatal failure the program is already ending, without the shut-down.
    if (!m_failures.hasEnded()) {
        saveWindowState();
        m_failures.endingSoon();
        const bool nothingLost = m_service.shutdown();
        if (!m_failures.hasEnded())
            m_hooks.endProgram(nothingLost ? 0 : 1);
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::moveEvent(QMoveEvent *event) {
    if (std::exchange(m_boxesFollowPlacement, false))
        m_failures.bringBoxesForward();
    QMainWindow::moveEvent(event);
}

void MainWindow::buildMenus() {
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Import…"), this, &MainWindow::importContacts);
    file->addAction(QStringLiteral("E&xport…"), this, &MainWindow::exportContacts);
    file->addSeparator();
    file->addAction(QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), this,
                    &MainWindow::quit);

    QMenu *tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->addAction(QStringLiteral("&Minimize to tray"), QKeySequence(Qt::Key_F12), this,
                     &MainWindow::MinimizeToTray);
    tools->addSeparator();
    tools->addAction(QStringLiteral("&Settings"), QKeySequence(Qt::CTRL | Qt::Key_S), this,
                     &MainWindow::openSettings);
    tools->addAction(QStringLiteral("&Block list…"), this, &MainWindow::openBlockList);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    // Does nothing on purpose: there are no help pages; the item and its shortcut stay
    // where users know them.
    help->addAction(QStringLiteral("&Ringwise Help"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    help->addSeparator();
    help->addAction(QStringLiteral("&About"), QKeySequence(Qt::CTRL | Qt::Key_A), this,
                    &MainWindow::openAbout);
}

void MainWindow::importContacts() {
    const QString path =
        m_hooks.chooseFile(this, QStringLiteral("Import contacts"), QDir::homePath(),
                           QStringLiteral("Contacts (*.vcf *.vcard *.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    const ImportSummary summary = m_service.importContacts(path, ImportOptions{});
    m_hooks.showMessage(this,
                        summary.failure.isEmpty() ? MessageIcon::Information : MessageIcon::Warning,
                        QStringLiteral("Import"), summary.text());
}

void MainWindow::exportContacts() {
    QString path = m_hooks.chooseSaveFile(this, QStringLiteral("Export contacts"),
                                          QDir::homePath() + QStringLiteral("/contacts.vcf"),
                                          QStringLiteral("vCard (*.vcf);;CSV (*.csv)"));
    if (path.isEmpty())
        return;
    if (!bookFormatOf(path))
        path += QStringLiteral(".vcf");
    const ExportOutcome outcome = m_service.exportContacts(path);
    m_hooks.showMessage(this, outcome.written ? MessageIcon::Information : MessageIcon::Warning,
                        QStringLiteral("Export"), outcome.text);
}

void MainWindow::buildTrayMenu() {
    auto *menu = new QMenu(this);
    m_trayShowHide = menu->addAction(QString(), this, [this] {
        if (isHidden() || isMinimized())
            bringToFront();
        else
            MinimizeToTray();
    });
    m_trayConnect = menu->addAction(QString(), &m_service, &Service::toggleConnection);
    menu->addAction(QStringLiteral("&Settings…"), this, &MainWindow::openSettings);
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), this,
                    &MainWindow::quit);
    connect(menu, &QMenu::aboutToShow, this, &MainWindow::showTrayMenuState);
    m_tray1->setContextMenu(menu);
    showTrayMenuState();
}

void MainWindow::showTrayMenuState() {
    m_trayShowHide->setText(isHidden() || isMinimized() ? QStringLiteral("&Show window")
                                                        : QStringLiteral("&Hide window"));
    m_trayConnect->setText(m_service.isRunning() ? QStringLiteral("&Disconnect")
                                                 : QStringLiteral("&Connect"));
}

QWidget *MainWindow::buildTopRow() {
    m_combo1 = new QComboBox;
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    addSerialPortChoices(*m_combo1);
    m_combo1->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_cmdButton = new QPushButton;
    m_cmdButton->setObjectName(QStringLiteral("cmdButton"));
    m_chkDebug = new QCheckBox(QStringLiteral("View debug"));
    m_chkDebug->setObjectName(QStringLiteral("chkDebug"));

    connect(m_combo1, &QComboBox::textActivated, &m_service, &Service::setSelectedPort);
    connect(m_cmdButton, &QPushButton::clicked, &m_service, &Service::toggleConnection);
    connect(m_chkDebug, &QCheckBox::toggled, this, &MainWindow::setDebugView);

    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Select COM port")));
    layout->addWidget(m_combo1);
    layout->addWidget(m_cmdButton);
    // The router's connection, where the serial port's selector shows the port.
    m_routerStatus = new QLabel;
    m_routerStatus->setObjectName(QStringLiteral("lblRouterStatus"));
    layout->addWidget(m_routerStatus);
    layout->addStretch();
    layout->addWidget(m_chkDebug);
    return row;
}

QGroupBox *MainWindow::buildCallPanel() {
    auto *panel = new QGroupBox(QStringLiteral("Last Call / Outgoing Call"));
    auto *grid = new QGridLayout(panel);
    grid->setVerticalSpacing(2);
    const auto addColumn = [&](const std::array<CallField, 6> &fields, int column) {
        for (int row = 0; row < int(fields.size()); ++row) {
            const CallField field = fields[row];
            const int number = fieldIndex(field) + 1;
            auto *caption = new QLabel(CallFields::caption(field));
            caption->setObjectName(QStringLiteral("lblInfo%1").arg(number));
            ValueLabel *value = valueLabel(QStringLiteral("lblDebug%1").arg(number));
            m_lblDebug[fieldIndex(field)] = value;
            grid->addWidget(caption, row, column);
            grid->addWidget(value, row, column + 1);
        }
    };
    addColumn(kLeftColumn, 0);
    addColumn(kRightColumn, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return panel;
}

QGroupBox *MainWindow::buildStatusPanel() {
    auto *panel = new QGroupBox(QStringLiteral("TCP/IP status"));
    m_lstConnections = new QListWidget;
    m_lstConnections->setObjectName(QStringLiteral("lstConnections"));
    m_lstConnections->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto *labels = new QGridLayout;
    labels->setVerticalSpacing(2);
    for (int i = 0; i < int(kHostingCaptions.size()); ++i) {
        auto *caption = new QLabel(kHostingCaptions[i]);
        caption->setObjectName(QStringLiteral("lblWSInfo%1").arg(i));
        m_lblWSDebug[i] = valueLabel(QStringLiteral("lblWSDebug%1").arg(i));
        labels->addWidget(caption, i, 0);
        labels->addWidget(m_lblWSDebug[i], i, 1);
    }
    labels->setColumnStretch(1, 1);
    labels->setRowStretch(int(kHostingCaptions.size()), 1);

    auto *layout = new QHBoxLayout(panel);
    layout->addWidget(m_lstConnections, 3);
    layout->addLayout(labels, 2);
    return panel;
}

QGroupBox *MainWindow::buildDevicePanel() {
    auto *panel = new QGroupBox(QStringLiteral("Device output"));
    m_txtDevice = new QPlainTextEdit;
    m_txtDevice->setObjectName(QStringLiteral("txtDevice"));
    m_txtDevice->setReadOnly(true);
    m_txtDevice->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_txtDevice->setMaximumBlockCount(kDeviceOutputLines);
    auto *layout = new QVBoxLayout(panel);
    layout->addWidget(m_txtDevice);
    return panel;
}

QWidget *MainWindow::buildTestButtons() {
    auto *fakeCall = new QPushButton(QStringLiteral("Fake opkald"));
    fakeCall->setObjectName(QStringLiteral("Command1"));
    auto *fakeOutgoing = new QPushButton(QStringLiteral("Fake outgoing"));
    fakeOutgoing->setObjectName(QStringLiteral("Command2"));
    fakeCall->setToolTip(
        QStringLiteral("Test: logs the call 12345678 with 3 rings into the real call log and "
                       "announces it to the clients."));
    fakeOutgoing->setToolTip(
        QStringLiteral("Test: shows the answer to STATS:CNTS;00, the whole contact list, in the "
                       "device output; no client receives it."));
    // Hidden, the buttons take no keys; the check keeps any other way out as well.
    connect(fakeCall, &QPushButton::clicked, this, [this] {
        if (m_chkDebug->isChecked())
            m_service.fakeIncomingCall();
    });
    connect(fakeOutgoing, &QPushButton::clicked, this, [this] {
        if (m_chkDebug->isChecked())
            m_service.fakeOutgoingRequest();
    });

    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(fakeCall);
    layout->addStretch();
    layout->addWidget(fakeOutgoing);
    return row;
}

QWidget *MainWindow::buildRecentCalls() {
    m_lstRecentCalls = new QTreeWidget;
    m_lstRecentCalls->setObjectName(QStringLiteral("lstRecentCalls"));
    m_lstRecentCalls->setHeaderLabels(
        {QStringLiteral("Time"), QStringLiteral("Caller"), QStringLiteral("Rings")});
    m_lstRecentCalls->setRootIsDecorated(false);
    m_lstRecentCalls->setUniformRowHeights(true);
    m_lstRecentCalls->setAlternatingRowColors(true);
    m_lstRecentCalls->setToolTip(QStringLiteral("Double-click a call to copy its number."));
    QHeaderView *header = m_lstRecentCalls->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    connect(m_lstRecentCalls, &QTreeWidget::itemDoubleClicked, this, [](QTreeWidgetItem *item) {
        QGuiApplication::clipboard()->setText(item->data(0, Qt::UserRole).toString());
    });
    m_lstRecentCalls->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *block = new QAction(QStringLiteral("&Block"), m_lstRecentCalls);
    block->setObjectName(QStringLiteral("actBlockCaller"));
    connect(block, &QAction::triggered, this, &MainWindow::blockSelectedCaller);
    m_lstRecentCalls->addAction(block);
    return m_lstRecentCalls;
}

void MainWindow::showRecentCalls() {
    m_lstRecentCalls->clear();
    QList<QTreeWidgetItem *> items;
    for (const LoggedCall &call : m_service.recentCalls()) {
        const QString name = trimBlanks(call.name);
        auto *item =
            new QTreeWidgetItem({call.time, name.isEmpty() ? call.number : name, call.rings});
        item->setData(0, Qt::UserRole, call.number);
        item->setToolTip(1, call.number);
        items << item;
    }
    m_lstRecentCalls->addTopLevelItems(items);
}

// Shown only while no password is set or lookups keep failing, below the panels, which
// keep their size.
void MainWindow::buildStatusBar() {
    auto *texts = new QWidget;
    auto *column = new QVBoxLayout(texts);
    column->setContentsMargins(0, 0, 0, 0);
    m_openAccess = new QLabel;
    m_openAccess->setObjectName(QStringLiteral("lblOpenAccess"));
    m_openAccess->setWordWrap(true);
    m_directoryStatus = new QLabel;
    m_directoryStatus->setObjectName(QStringLiteral("lblDirectoryStatus"));
    m_directoryStatus->setWordWrap(true);
    // Both stay in place, an empty one without height, so that the bar keeps asking the
    // height for its width.
    column->setSpacing(0);
    column->addWidget(m_openAccess);
    column->addWidget(m_directoryStatus);
    statusBar()->addPermanentWidget(texts, 1);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->hide();
}

void MainWindow::layOut() {
    // The window resizes freely: the connection list and the device output take the room.
    auto *content = new QWidget;
    setCentralWidget(content);

    auto *normalView = new QWidget;
    auto *normalLayout = new QVBoxLayout(normalView);
    normalLayout->setContentsMargins(6, 4, 6, 4);
    normalLayout->addWidget(buildTopRow());
    auto *calls = new QTabWidget;
    calls->setObjectName(QStringLiteral("callTabs"));
    calls->setDocumentMode(true);
    calls->addTab(buildCallPanel(), QStringLiteral("Last call"));
    calls->addTab(buildRecentCalls(), QStringLiteral("Recent calls"));
    normalLayout->addWidget(calls);
    normalLayout->addWidget(buildStatusPanel(), 1);

    // Hidden while "View debug" is off, so Tab never stops on what the window cuts off.
    auto *debugView = new QWidget;
    debugView->hide();
    m_debugView = debugView;
    auto *debugLayout = new QVBoxLayout(debugView);
    debugLayout->setContentsMargins(6, 0, 6, 6);
    debugLayout->addWidget(buildDevicePanel(), 1);
    debugLayout->addWidget(buildTestButtons());

    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(normalView, 2);
    layout->addWidget(debugView, 1);
}

void MainWindow::connectService() {
    for (int i = 1; i <= kCallFieldCount; ++i) {
        const auto field = static_cast<CallField>(i);
        m_lblDebug[fieldIndex(field)]->setValue(m_service.callRecord().value(field));
    }
    showSelectedPort(m_service.selectedPort());
    showRouterStatus(m_service.routerStatus());
    showRunning(m_service.isRunning());
    showHostingLabels(m_service.hostingLabels());
    m_lstConnections->addItems(m_service.connectionList());
    appendDeviceOutput(m_service.deviceOutput());

    connect(&m_service, &Service::callFieldChanged, this,
            [this](CallField field, const QString &value) {
                m_lblDebug[fieldIndex(field)]->setValue(value);
            });
    connect(&m_service, &Service::callLogged, this, &MainWindow::notifyCall);
    connect(&m_service, &Service::callerNamed, this, &MainWindow::notifyCall);
    connect(&m_service, &Service::hostingLabelsChanged, this, &MainWindow::showTrayTip);
    connect(&m_service, &Service::routerStatusChanged, this, &MainWindow::showTrayTip);
    connect(m_notifier, &DesktopNotifier::failed, this,
            [this](const QString &title, const QString &body) {
                if (m_tray1->IsVisible())
                    m_tray1->showMessage(title, body);
            });
    connect(m_notifier, &DesktopNotifier::copyRequested, this,
            [](const QString &number) { QGuiApplication::clipboard()->setText(number); });
    connect(&m_service, &Service::recentCallsChanged, this, &MainWindow::showRecentCalls);
    connect(&m_service, &Service::deviceOutputAppended, this, &MainWindow::appendDeviceOutput);
    connect(&m_service, &Service::runningChanged, this, &MainWindow::showRunning);
    connect(&m_service, &Service::selectedPortChanged, this, &MainWindow::showSelectedPort);
    connect(&m_service, &Service::routerStatusChanged, this, &MainWindow::showRouterStatus);
    connect(&m_service, &Service::hostingLabelsChanged, this, &MainWindow::showHostingLabels);
    connect(&m_service, &Service::openAccessChanged, this, &MainWindow::showOpenAccess);
    connect(&m_service, &Service::directoryStatusChanged, this,
            [this](const QString &status) { showInStatusBar(*m_directoryStatus, status); });
    connect(&m_service, &Service::clientListed, this, [this](int slot, const QString &line) {
        m_lstConnections->insertItem(rowOfSlot(*m_lstConnections, slot), line);
    });
    connect(&m_service, &Service::clientUnlisted, this, [this](int slot) {
        const int row = rowOfSlot(*m_lstConnections, slot);
        if (row < m_lstConnections->count() &&
            slotOfLine(m_lstConnections->item(row)->text()) == slot)
            delete m_lstConnections->takeItem(row);
    });
    connect(&m_service, &Service::trayIconRequested, m_tray1, &Tray::Show);
    connect(&m_service, &Service::minimizeRequested, this, &MainWindow::MinimizeToTray);
    connect(&m_service, &Service::message, this,
            [this](MessageIcon icon, const QString &title, const QString &text) {
                m_failures.message(icon, title, text);
            });
    connect(&m_service, &Service::fatal, this,
            [this](FatalKind kind, const QString &title, const QString &text) {
                m_failures.fatal(kind, title, text);
            });
}

void MainWindow::showSelectedPort(const QString &port) {
    // A device path is offered as one more entry beside COM1..COM7.
    if (m_combo1->findText(port) < 0)
        m_combo1->addItem(port);
    m_combo1->setCurrentIndex(m_combo1->findText(port));
}

void MainWindow::showRouterStatus(const QString &status) {
    m_routerStatus->setText(status);
    m_routerStatus->setHidden(status.isEmpty());
}

void MainWindow::showRunning(bool running) {
    showTrayTip();
    m_combo1->setEnabled(!running);
    m_cmdButton->setText(running ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    showTrayMenuState();
}

void MainWindow::showHostingLabels(const HostingLabels &labels) {
    const std::array<QString, 5> values = {labels.isHosting, labels.localIp, labels.localPort,
                                           labels.connections, labels.nextPing};
    for (int i = 0; i < int(values.size()); ++i)
        m_lblWSDebug[i]->setValue(values[i]);
}

void MainWindow::showOpenAccess(const QString &warning) {
    showInStatusBar(*m_openAccess, warning);
}

void MainWindow::showInStatusBar(QLabel &label, const QString &text) {
    label.setText(text);
    const bool empty = m_openAccess->text().isEmpty() && m_directoryStatus->text().isEmpty();
    statusBar()->setHidden(empty);
    if (!empty) {
        // A wrapped label asks for the height of a narrow one; the bar takes what the
        // window's width needs. Its layout would learn of the new text only at the next turn
        // of the event loop.
        statusBar()->layout()->invalidate();
        statusBar()->layout()->activate();
        statusBar()->setFixedHeight(statusBar()->heightForWidth(width()));
    }
    setDebugView(m_chkDebug->isChecked());
}

void MainWindow::appendDeviceOutput(const QString &text) {
    // Line breaks arrive as CR LF; the pane would show the CR as a line of its own.
    m_txtDevice->moveCursor(QTextCursor::End);
    m_txtDevice->insertPlainText(QString(text).remove(QLatin1Char('\r')));
    QScrollBar *scrollBar = m_txtDevice->verticalScrollBar();
    scrollBar->setValue(scrollBar->maximum());
}

void MainWindow::setDebugView(bool debug) {
    m_debugView->setVisible(debug);
    // The smaller minimum of the view without the debug pane counts at once.
    layout()->invalidate();
    layout()->activate();
    // A maximised or full-screen window keeps the screen's size.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const int statusHeight = statusBar()->isHidden() ? 0 : statusBar()->height();
    resize(width(), (debug ? kDebugHeight : kNormalHeight) + statusHeight);
}

void MainWindow::hideToTray() {
    saveWindowState();
    hide();
    if (!std::exchange(m_toldOfTray, true))
        m_notifier->notify(kProductName, kInTrayText);
}

void MainWindow::askToReconnect() {
    // Stopped, the next Connect reads the changes anyway.
    if (!m_service.isRunning())
        return;
    if (m_hooks.ask(this, kSettingsTitle,
                    QStringLiteral("The changes take effect at the next Connect."),
                    QStringLiteral("Reconnect now"))) {
        m_service.toggleConnection();
        m_service.toggleConnection();
    }
}

// The tip holds 64 characters: the hosting state, the device and the last caller.
void MainWindow::showTrayTip() {
    const HostingLabels labels = m_service.hostingLabels();
    const QString hosting = m_service.isRunning() && labels.isHosting == QLatin1String("Yes")
                                ? QStringLiteral("port ") + labels.localPort
                                : QStringLiteral("not connected");
    const QString device =
        m_service.routerStatus().isEmpty() ? m_service.selectedPort() : m_service.routerStatus();
    QStringList parts = {hosting, device};
    if (!m_lastCaller.isEmpty())
        parts << QStringLiteral("last: ") + m_lastCaller;
    m_tray1->setTrayToolTip(kProductName + QStringLiteral(": ") + parts.join(QStringLiteral(", ")));
    if (m_tray1->IsVisible())
        m_tray1->Show(true);
}

void MainWindow::notifyCall(const CallFields &call, bool blocked) {
    const QString name = trimBlanks(call[CallField::Name]);
    m_lastCaller = name.isEmpty() ? call[CallField::Number] : name;
    showTrayTip();
    // Read at each call, so the settings dialog's choice acts at once.
    if (blocked || !isTrue(storedOrDefault(m_store, key::DesktopNotify)))
        return;
    const CallNotification notification = callNotification(call);
    // The naming replaces the call's notification: both carry the call's number and time.
    m_notifier->notify(notification.title, notification.body,
                       call[CallField::Number] + QLatin1Char(' ') + call[CallField::CallTime],
                       call[CallField::Number]);
}

void MainWindow::blockSelectedCaller() {
    const QTreeWidgetItem *item = m_lstRecentCalls->currentItem();
    if (!item)
        return;
    const QString number = item->data(0, Qt::UserRole).toString();
    const QString problem = m_service.addBlockEntry(number, QString());
    m_hooks.showMessage(
        this, problem.isEmpty() ? MessageIcon::Information : MessageIcon::Warning,
        QStringLiteral("Block list"),
        problem.isEmpty() ? QStringLiteral("%1 is on the block list.").arg(number) : problem);
}

void MainWindow::restoreWindowState() {
    if (m_windowStatePath.isEmpty())
        return;
    const QSettings state(m_windowStatePath, QSettings::IniFormat);
    m_chkDebug->setChecked(state.value(kDebugKey).toBool());
    // A position on a screen that is no longer there would put the window out of sight.
    const QPoint position = state.value(kPositionKey).toPoint();
    if (state.contains(kPositionKey) && QGuiApplication::screenAt(position))
        move(position);
}

void MainWindow::saveWindowState() const {
    if (m_windowStatePath.isEmpty())
        return;
    QSettings state(m_windowStatePath, QSettings::IniFormat);
    state.setValue(kPositionKey, pos());
    state.setValue(kDebugKey, m_chkDebug->isChecked());
}

void MainWindow::showSettingsModally() {
    // One settings dialog at a time: the one open from the menu becomes the modal one, so
    // no second dialog can overwrite what the user saves in it.
    openSettings();
    // A window takes on modality only when it is shown again.
    m_settingsDialog->hide();
    m_hooks.runModal(*m_settingsDialog);
}

}  // namespace ringwise
