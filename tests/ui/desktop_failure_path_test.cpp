#include <QWidget>
#include <QtTest>

#include "ui/desktop_failure_path.h"

using namespace ringwise;

namespace {

const char *iconName(MessageIcon icon) {
    return icon == MessageIcon::Critical  ? "critical"
           : icon == MessageIcon::Warning ? "warning"
                                          : "information";
}

// Records every step of a failure path in the order it was taken.
struct Steps {
    QStringList taken;

    DesktopFailurePath path(QWidget *parent) {
        DesktopHooks hooks;
        hooks.showMessage = [this, parent](QWidget *owner, MessageIcon icon, const QString &title,
                                           const QString &text) {
            QVERIFY(owner == parent);
            taken << QStringLiteral("%1 box %2: %3").arg(iconName(icon), title, text);
        };
        hooks.postMessage = [this](QWidget *, MessageIcon icon, const QString &title,
                                   const QString &text) {
            taken << QStringLiteral("posted %1 box %2: %3").arg(iconName(icon), title, text);
        };
        hooks.endProgram = [this](int status) { taken << QStringLiteral("end %1").arg(status); };
        return DesktopFailurePath(
            parent, hooks, [this] { taken << "settings dialog"; },
            [this] { taken << "tray removed"; });
    }
};

}  // namespace

Q_DECLARE_METATYPE(ringwise::FatalKind)

class DesktopFailurePathTest : public QObject {
    Q_OBJECT

private slots:
    void fatalSteps_data() {
        QTest::addColumn<FatalKind>("kind");
        QTest::addColumn<QStringList>("steps");
        const QString restart = QStringLiteral(
            "information box Settings: Your settings are saved. Please restart the application.");
        QTest::newRow("database") << FatalKind::Database
                                  << QStringList{"critical box Title: Text", "settings dialog",
                                                 "tray removed", "end 1"};
        QTest::newRow("bind") << FatalKind::Bind
                              << QStringList{"critical box Title: Text", "settings dialog", restart,
                                             "tray removed", "end 1"};
        QTest::newRow("disconnect")
            << FatalKind::Disconnect
            << QStringList{"critical box Title: Text", "tray removed", "end 1"};
    }
    void fatalSteps() {
        QFETCH(FatalKind, kind);
        QFETCH(QStringList, steps);
        QWidget window;
        Steps recorder;
        DesktopFailurePath path = recorder.path(&window);
        path.fatal(kind, "Title", "Text");
        QCOMPARE(recorder.taken, steps);
        QVERIFY(path.hasEnded());
        // A failure reported while the boxes were open changes nothing.
        path.fatal(FatalKind::Bind, "Title", "Text");
        QCOMPARE(recorder.taken, steps);
    }

    void messagesDoNotBlock() {
        Steps recorder;
        DesktopFailurePath path = recorder.path(nullptr);
        path.message(MessageIcon::Warning, "Serial port", "COM3 cannot be opened.");
        QCOMPARE(recorder.taken,
                 QStringList{"posted warning box Serial port: COM3 cannot be opened."});
        QVERIFY(!path.hasEnded());
    }
};

QTEST_MAIN(DesktopFailurePathTest)
#include "desktop_failure_path_test.moc"
