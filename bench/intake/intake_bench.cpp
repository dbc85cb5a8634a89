// SPDX-License-Identifier: GPL-3.0-or-later
// The time of one LogCall() for a known and an unknown number, in a small book and in a
// big one: until the "CALL_:," line is handed to the clients, and in all (the log is
// synced to disk after the hand-out). The indexes on the telephone columns should keep the
// two sizes close. The disk syncs per call are counted from outside:
//   strace -f -c -e trace=fsync,fdatasync build-release/bench/intake/intake_bench
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

#include "call/call_record.h"
#include "db/database.h"
#include "intake/call_logger.h"

using namespace ringwise;

namespace {

constexpr int kSamples = 200;

struct Size {
    const char *name;
    int contacts;
    int calls;
};

// Every tenth contact is an unrecognised caller; the others have three numbers each.
void fill(Database &db, const Size &size) {
    db.exec(QStringLiteral("BEGIN"));
    db.exec(QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                "INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, BusinessPhone, "
                "Email, TotalCalls, Unrecognized) "
                "SELECT CASE WHEN i % 10 = 0 THEN NULL ELSE 'Contact ' || i END, "
                "CASE WHEN i % 10 = 0 THEN NULL ELSE printf('3%07d', i) END, "
                "CASE WHEN i % 10 = 0 THEN NULL ELSE printf('4%07d', i) END, "
                "CASE WHEN i % 10 = 0 THEN NULL ELSE printf('5%07d', i) END, "
                "CASE WHEN i % 10 = 0 THEN NULL ELSE 'c' || i || '@example.org' END, "
                "10, CASE WHEN i % 10 = 0 THEN printf('6%07d', i) ELSE NULL END FROM n"),
            {size.contacts});
    db.exec(QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                "INSERT INTO tblCalls (ContactID, CallTime, CallRings, CallNumber) "
                "SELECT i % ? + 1, '2024-03-05 14:07:09', i % 5, printf('4%07d', i % ? + 1) "
                "FROM n"),
            {size.calls, size.contacts, size.contacts});
    db.exec(QStringLiteral("COMMIT"));
}

double medianMicroseconds(std::vector<qint64> nanoseconds) {
    std::sort(nanoseconds.begin(), nanoseconds.end());
    return nanoseconds[nanoseconds.size() / 2] / 1000.0;
}

struct Times {
    double handedOut;  // the median time until the line went to the clients
    double whole;      // the median time of the whole LogCall(), sync included
};

// kSamples calls, each with the number numberAt(i) gives; handedOut holds the time since
// the start of the call at which the line reached the clients.
template <typename NumberAt>
Times measure(CallLogger &logger, CallRecord &record, QElapsedTimer &timer, qint64 &handedOut,
              NumberAt numberAt) {
    std::vector<qint64> lines;
    std::vector<qint64> wholes;
    for (int i = 0; i < kSamples; ++i) {
        record.ResetCallDisplay();
        record.set(CallField::CallType, QStringLiteral("Ingoing"));
        record.set(CallField::Number, numberAt(i));
        record.set(CallField::CallTime, QStringLiteral("2024-03-05 14:07:09"));
        timer.start();
        logger.LogCall();
        wholes.push_back(timer.nsecsElapsed());
        lines.push_back(handedOut);
    }
    return {medianMicroseconds(lines), medianMicroseconds(wholes)};
}

struct Medians {
    Times known;
    Times unknown;
};

Medians run(const QString &path, const Size &size) {
    Database db;
    db.open(path, Database::OpenMode::CreateIfMissing);
    CallRecord record;
    QElapsedTimer timer;
    qint64 handedOut = 0;
    CallLogger logger(
        db, record, [] { return false; }, [](const CallFields &) {},
        [&](const QString &) { handedOut = timer.nsecsElapsed(); },
        [](const QString &title, const QString &text) {
            qFatal("%s: %s", qPrintable(title), qPrintable(text));
        });
    Medians medians;
    medians.known = measure(logger, record, timer, handedOut, [&](int i) {
        // Spread over the book, never an unrecognised row.
        int contact = 1 + (i * 7919) % size.contacts;
        if (contact % 10 == 0)
            ++contact;
        return QStringLiteral("4%1").arg(contact, 7, 10, QLatin1Char('0'));
    });
    static int nextUnknown = 0;
    medians.unknown = measure(logger, record, timer, handedOut, [&](int) {
        return QStringLiteral("7%1").arg(++nextUnknown, 7, 10, QLatin1Char('0'));
    });
    return medians;
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const Size small{"100 contacts, 1,000 calls", 100, 1000};
    const Size big{"100,000 contacts, 1,000,000 calls", 100000, 1000000};
    for (const Size &size : {small, big}) {
        QElapsedTimer timer;
        timer.start();
        Database db;
        db.open(dir.filePath(size.name), Database::OpenMode::CreateIfMissing);
        fill(db, size);
        out << size.name << ": built in " << timer.elapsed() << " ms" << Qt::endl;
    }
    const Medians s = run(dir.filePath(small.name), small);
    const Medians b = run(dir.filePath(big.name), big);
    const auto report = [&](const char *what, const Times &small, const Times &big) {
        out << QStringLiteral(
                   "  %1: line handed out after %2 us / %3 us (ratio %4); whole call "
                   "%5 us / %6 us")
                   .arg(QLatin1String(what))
                   .arg(small.handedOut, 0, 'f', 1)
                   .arg(big.handedOut, 0, 'f', 1)
                   .arg(big.handedOut / small.handedOut, 0, 'f', 2)
                   .arg(small.whole, 0, 'f', 1)
                   .arg(big.whole, 0, 'f', 1)
            << Qt::endl;
    };
    out << Qt::endl << "Median LogCall()" << Qt::endl;
    report("known number  ", s.known, b.known);
    report("unknown number", s.unknown, b.unknown);
    out << Qt::endl << "(small book / big book, " << kSamples << " calls each)" << Qt::endl;
    return 0;
}
