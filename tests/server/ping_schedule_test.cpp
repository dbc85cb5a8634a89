#include <QtTest>

#include "server/ping_schedule.h"

using namespace ringwise;

class PingScheduleTest : public QObject {
    Q_OBJECT

private slots:
    void cadence_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QList<int>>("pingTicks");
        QTest::newRow("120") << "120" << 400 << QList<int>{121, 241, 361};
        QTest::newRow("1") << "1" << 5 << QList<int>{2, 3, 4, 5};
        QTest::newRow("300") << "300" << 700 << QList<int>{301, 601};
        QTest::newRow("0") << "0" << 700 << QList<int>{1, 302, 603};
        QTest::newRow("301") << "301" << 700 << QList<int>{302, 603};
        QTest::newRow("400") << "400" << 700 << QList<int>{302, 603};
        QTest::newRow("-5") << "-5" << 700 << QList<int>{302, 603};
        QTest::newRow("2.5") << "2.5" << 250 << QList<int>{121, 241};
        QTest::newRow("abc") << "abc" << 250 << QList<int>{121, 241};
        QTest::newRow("empty") << "" << 250 << QList<int>{121, 241};
        QTest::newRow("99999999999") << "99999999999" << 250 << QList<int>{121, 241};
    }
    void cadence() {
        QFETCH(QString, setting);
        QFETCH(int, ticks);
        QFETCH(QList<int>, pingTicks);
        PingSchedule schedule;
        QList<int> pinged;
        for (int tick = 1; tick <= ticks; ++tick) {
            if (schedule.tick(PingSchedule::interval(setting)))
                pinged << tick;
        }
        QCOMPARE(pinged, pingTicks);
    }
};

QTEST_APPLESS_MAIN(PingScheduleTest)
#include "ping_schedule_test.moc"
