#include <QFile>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "db/database.h"
#include "intake/call_logger.h"
#include "intake/call_record.h"
#include "intake/device_output.h"
#include "intake/device_parser.h"
#include "intake/serial_device.h"
#include "support/pseudo_terminal.h"
#include "support/table_dump.h"
#include "support/temp_environment.h"

using namespace ringwise;

namespace {

constexpr int kRetryMs = 10;

// A serial device whose characters and reports are collected.
struct Port {
    QString received;
    QStringList reports;
    SerialDevice device{
        [this](QChar character) { received += character; },
        [this](const QString &title, const QString &text) { reports << title + ": " + text; },
        kRetryMs};

    QTimer *retryTimer() {
        return device.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    }
};

// Makes the device appear at path, as a plugged-in adapter would.
bool pointTo(const QString &path, const test::PseudoTerminal &pty) {
    QFile::remove(path);
    return QFile::link(pty.slavePath(), path);
}

}  // namespace

class SerialDeviceTest : public QObject {
    Q_OBJECT

private slots:
    void callThroughPseudoTerminalIsStored() {
        test::TempEnvironment env;
        test::PseudoTerminal pty;
        QVERIFY(pty.isValid());
        Database db;
        db.open(env.filePath("calls.db"), Database::OpenMode::CreateIfMissing);
        CallRecord record;
        DeviceOutput output;
        QStringList sent;
        QList<CallFields> lookups;
        CallLogger logger(
            db, record, [] { return true; }, [&](const CallFields &call) { lookups << call; },
            [&](const QString &text) { sent << text; });
        DeviceParser parser(record, logger, output,
                            [] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); });
        QStringList reports;
        SerialDevice device([&](QChar character) { parser.HandleDeviceText(character); },
                            [&](const QString &, const QString &text) { reports << text; });

        QVERIFY(device.open("COM1", pty.slavePath()));
        QVERIFY(pty.write("A12345678#RRR"));

        QTRY_COMPARE(output.text(), QStringLiteral("\r\nA12345678#RRR"));
        QCOMPARE(sent, QStringList{"CALL_:,12345678,,,,,,"});
        QCOMPARE(test::dumpTable(db, "tblCalls"),
                 QStringLiteral("1|1|'2024-03-05 14:07:09'|3|'12345678'"));
        QCOMPARE(test::dumpTable(db, "tblContacts"),
                 QStringLiteral("1|NULL|NULL|NULL|NULL|NULL|NULL|1|'12345678'"));
        QCOMPARE(lookups.size(), 1);
        QCOMPARE(record.value(CallField::Rings), QStringLiteral("3"));
        QCOMPARE(record.value(CallField::CallId), QStringLiteral("1"));
        QVERIFY(reports.isEmpty());
    }

    void bytesBecomeLatin1Characters() {
        test::PseudoTerminal pty;
        Port port;
        QVERIFY(port.device.open("COM2", pty.slavePath()));
        const QByteArray bytes("A1\xe6\xf8\x00\xff#R", 8);
        QVERIFY(pty.write(bytes));
        QTRY_COMPARE(port.received, QString::fromLatin1(bytes));
    }

    void missingPortIsReportedOnceAndRetried() {
        test::TempEnvironment env;
        const QString path = env.filePath("ttyCallerId");
        Port port;

        QVERIFY(!port.device.open("COM3", path));
        QCOMPARE(port.reports,
                 QStringList{"Serial port: Cannot open COM3 (" + path +
                             "): No such file or directory. Trying again every 0.01 s."});
        QSignalSpy retries(port.retryTimer(), &QTimer::timeout);
        QTRY_VERIFY(retries.size() >= 3);
        QVERIFY(!port.device.isOpen());
        QCOMPARE(port.reports.size(), 1);

        test::PseudoTerminal pty;
        QVERIFY(pointTo(path, pty));
        QTRY_VERIFY(port.device.isOpen());
        QVERIFY(pty.write("A5#R"));
        QTRY_COMPARE(port.received, QStringLiteral("A5#R"));
        QCOMPARE(port.reports.size(), 1);
    }

    void lostPortIsReportedOnceAndReopened() {
        test::TempEnvironment env;
        const QString path = env.filePath("ttyCallerId");
        auto first = std::make_unique<test::PseudoTerminal>();
        QVERIFY(pointTo(path, *first));
        Port port;
        QVERIFY(port.device.open("COM4", path));
        QVERIFY(first->write("A1#"));
        QTRY_COMPARE(port.received, QStringLiteral("A1#"));

        first.reset();
        QTRY_COMPARE(port.reports.size(), 1);
        QCOMPARE(port.reports, QStringList{"Serial port: COM4 (" + path +
                                           ") was lost: it can no longer be read. Trying "
                                           "again every 0.01 s."});
        QVERIFY(!port.device.isOpen());
        QSignalSpy retries(port.retryTimer(), &QTimer::timeout);
        QTRY_VERIFY(retries.size() >= 3);

        test::PseudoTerminal second;
        QVERIFY(pointTo(path, second));
        QTRY_VERIFY(port.device.isOpen());
        QVERIFY(second.write("A2#R"));
        QTRY_COMPARE(port.received, QStringLiteral("A1#A2#R"));
        QCOMPARE(port.reports.size(), 1);
    }

    void closeStopsRetrying() {
        test::TempEnvironment env;
        Port port;
        QVERIFY(!port.device.open("COM5", env.filePath("ttyCallerId")));
        QVERIFY(port.retryTimer()->isActive());
        port.device.close();
        QVERIFY(!port.retryTimer()->isActive());
        QVERIFY(!port.device.isOpen());
    }
};

QTEST_GUILESS_MAIN(SerialDeviceTest)
#include "serial_device_test.moc"
