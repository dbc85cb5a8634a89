#include <QPixmap>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QtTest>

#include "ui/tray.h"
#include "ui/tray_window_control.h"

using namespace ringwise;

namespace {

// What the notification area reports for a click on the icon.
void notify(Tray &tray, QSystemTrayIcon::ActivationReason reason) {
    emit tray.findChild<QSystemTrayIcon *>()->activated(reason);
}

QPixmap picture() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    return pixmap;
}

}  // namespace

Q_DECLARE_METATYPE(QSystemTrayIcon::ActivationReason)

class TrayTest : public QObject {
    Q_OBJECT

private slots:
    void clicksBecomeButtons_data() {
        QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
        QTest::addColumn<QList<int>>("buttons");
        QTest::newRow("left click") << QSystemTrayIcon::Trigger << QList<int>{1};
        QTest::newRow("context request") << QSystemTrayIcon::Context << QList<int>{2};
        QTest::newRow("double click") << QSystemTrayIcon::DoubleClick << QList<int>{};
        QTest::newRow("middle click") << QSystemTrayIcon::MiddleClick << QList<int>{};
        QTest::newRow("unknown") << QSystemTrayIcon::Unknown << QList<int>{};
    }
    void clicksBecomeButtons() {
        QFETCH(QSystemTrayIcon::ActivationReason, reason);
        QFETCH(QList<int>, buttons);
        Tray tray;
        QList<int> reported;
        connect(&tray, &Tray::MouseClick, [&](int button) { reported << button; });
        notify(tray, reason);
        QCOMPARE(reported, buttons);
        // Ignored notifications do not lock out the next click.
        QCOMPARE(tray.isClickLocked(), !buttons.isEmpty());
    }

    void clickLockDropsClicksUntilAfterTheHandler() {
        Tray tray;
        auto *timer1 = tray.findChild<QTimer *>("Timer1");
        QVERIFY(timer1);
        QList<int> reported;
        bool timerRanDuringHandler = true;
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

    void eventModeIsKeptBetweenZeroAndOne_data() {
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("stored");
        QTest::newRow("5") << 5 << 1;
        QTest::newRow("-3") << -3 << 0;
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("INT_MIN") << std::numeric_limits<int>::min() << 0;
    }
    void eventModeIsKeptBetweenZeroAndOne() {
        QFETCH(int, written);
        QFETCH(int, stored);
        Tray tray;
        QCOMPARE(tray.EventMode(), 0);
        tray.setEventMode(written);
        QCOMPARE(tray.EventMode(), stored);
    }

    void tipField_data() {
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QString>("field");
        const QString seventy = QString("0123456789").repeated(7);
        QTest::newRow("Ringwise Server") << "Ringwise Server"
                                         << " Ringwise Server ";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("61 characters") << seventy.left(61) << ' ' + seventy.left(61) + ' ';
        QTest::newRow("62 characters") << seventy.left(62) << ' ' + seventy.left(62) + ' ';
        QTest::newRow("63 characters") << seventy.left(63) << ' ' + seventy.left(63);
        QTest::newRow("70 characters") << seventy << ' ' + seventy.left(63);
    }
    void tipField() {
        QFETCH(QString, toolTip);
        QFETCH(QString, field);
        QCOMPARE(Tray::tipField(toolTip), field);
        QVERIFY(Tray::tipField(toolTip).size() <= 64);
    }

    void showAddsOnceAndRemovesOnce() {
        Tray tray;
        tray.setTrayImage(picture());
        const auto shownTip = [&] { return tray.findChild<QSystemTrayIcon *>()->toolTip(); };
        tray.Show(false);
        QVERIFY(!tray.IsVisible());
        tray.Show(true);
        QVERIFY(tray.IsVisible());
        QCOMPARE(shownTip(), QStringLiteral(" Ringwise Server "));
        // A changed tip reaches the icon already shown at the next Show(true).
        tray.setTrayToolTip("Calls");
        QCOMPARE(shownTip(), QStringLiteral(" Ringwise Server "));
        tray.Show(true);
        QVERIFY(tray.IsVisible());
        QCOMPARE(shownTip(), QStringLiteral(" Calls "));
        tray.Show(false);
        tray.Show(false);
        QVERIFY(!tray.IsVisible());
    }

    void pictureBecomesA32By32Icon() {
        Tray tray;
        QPixmap bitmap(100, 60);
        bitmap.fill(Qt::red);
        tray.setTrayImage(bitmap);
        const QList<QSize> sizes = tray.TrayImage().availableSizes();
        QCOMPARE(sizes, QList<QSize>{QSize(32, 32)});
        QCOMPARE(tray.TrayImage().pixmap(32, 32).toImage().pixelColor(16, 16), QColor(Qt::red));
        tray.setTrayImage(QPixmap());
        QVERIFY(tray.TrayImage().isNull());
    }

    void withoutANotificationAreaTheWindowIsMinimised_data() {
        QTest::addColumn<bool>("notificationArea");
        QTest::addColumn<bool>("iconShown");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("notification area, icon shown") << true << true << true;
        QTest::newRow("no notification area") << false << true << false;
        QTest::newRow("icon removed") << true << false << false;
    }
    void withoutANotificationAreaTheWindowIsMinimised() {
        QFETCH(bool, notificationArea);
        QFETCH(bool, iconShown);
        QFETCH(bool, hidden);
        QWidget window;
        Tray tray;
        tray.setTrayImage(picture());
        TrayWindowControl control(window, tray, [&] { return notificationArea; });
        window.show();
        tray.Show(iconShown);
        control.MinimizeToTray();
        QCOMPARE(window.isHidden(), hidden);
        QCOMPARE(window.isMinimized(), !hidden);
    }
};

QTEST_MAIN(TrayTest)
#include "tray_test.moc"
