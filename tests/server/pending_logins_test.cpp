#include <QtTest>

#include "server/pending_logins.h"

using namespace ringwise;

namespace {

struct Accept {
    int slot;
    qint32 at;
};

}  // namespace

Q_DECLARE_METATYPE(QList<Accept>)

class PendingLoginsTest : public QObject {
    Q_OBJECT

private slots:
    void dueClients_data() {
        QTest::addColumn<QList<Accept>>("accepts");
        QTest::addColumn<QList<int>>("loggedIn");
        QTest::addColumn<qint32>("now");
        QTest::addColumn<QList<int>>("due");
        QTest::addColumn<int>("nextDeadlineIn");  // -1: nobody left
        QTest::newRow("one client just before its deadline")
            << QList<Accept>{{1, 0}} << QList<int>{} << 4999 << QList<int>{} << 1;
        QTest::newRow("one client at its deadline")
            << QList<Accept>{{1, 0}} << QList<int>{} << 5000 << QList<int>{1} << -1;
        QTest::newRow("a later client does not postpone an earlier one")
            << QList<Accept>{{1, 0}, {2, 2000}} << QList<int>{} << 5000 << QList<int>{1} << 2000;
        QTest::newRow("three overdue, in order of acceptance")
            << QList<Accept>{{3, 0}, {1, 10}, {2, 20}} << QList<int>{} << 9000
            << QList<int>{3, 1, 2} << -1;
        QTest::newRow("a logged-in client is not due")
            << QList<Accept>{{1, 0}, {2, 100}} << QList<int>{1} << 6000 << QList<int>{2} << -1;
        QTest::newRow("a reused slot starts a fresh deadline")
            << QList<Accept>{{1, 0}, {2, 1000}, {1, 3000}} << QList<int>{} << 6000 << QList<int>{2}
            << 2000;
        QTest::newRow("the tick count wraps from positive to negative")
            << QList<Accept>{{1, 2147483647 - 1000}} << QList<int>{} << -2147483647 + 3999
            << QList<int>{1} << -1;
    }
    void dueClients() {
        QFETCH(QList<Accept>, accepts);
        QFETCH(QList<int>, loggedIn);
        QFETCH(qint32, now);
        QFETCH(QList<int>, due);
        QFETCH(int, nextDeadlineIn);
        PendingLogins pending(5000);
        for (const Accept &accept : accepts)
            pending.add(accept.slot, accept.at);
        for (const int slot : loggedIn)
            pending.remove(slot);
        QCOMPARE(pending.takeDue(now), due);
        for (const int slot : due)
            QVERIFY(!pending.contains(slot));
        QCOMPARE(pending.timeUntilNextDeadline(now).value_or(-1), nextDeadlineIn);
    }
};

QTEST_APPLESS_MAIN(PendingLoginsTest)
#include "pending_logins_test.moc"
