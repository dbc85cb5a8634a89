// The time of one LogCall() for a known and an unknown number, in a small book and in a
// big one. The indexes on the telephone columns should keep the two sizes close.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

#include "db/database.h"
#include "intake/call_logger.h"
#include "intake/call_record.h"

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

// The median of kSamples calls, each with the number numberAt(i) gives.
template <typename NumberAt>
double measure(CallLogger &logger, CallRecord &record, NumberAt numberAt) {
    std::vector<qint64> times;
    for (int i = 0; i < kSamples; ++i) {
        record.ResetCallDisplay();
        record.set(CallField::CallType, QStringLiteral("Ingoing"));
        record.set(CallField::Number, numberAt(i));
        record.set(CallField::CallTime, QStringLiteral("2024-03-05 14:07:09"));
        QElapsedTimer timer;
        timer.start();
        logger.LogCall();
        times.push_back(timer.nsecsElapsed());
    }
    return medianMicroseconds(times);
}

struct Medians {
    double known;
    double unknown;
};

Medians run(const QString &path, const Size &size, bool durable) {
    Database db;
    db.open(path, Database::OpenMode::CreateIfMissing);
    if (!durable)
        db.exec(QStringLiteral("PRAGMA synchronous=OFF"));
    CallRecord record;
    CallLogger logger(
        db, record, [] { return false; }, [](const CallFields &) {}, [](const QString &) {});
    Medians medians;
    medians.known = measure(logger, record, [&](int i) {
        // Spread over the book, never an unrecognised row.
        int contact = 1 + (i * 7919) % size.contacts;
        if (contact % 10 == 0)
            ++contact;
        return QStringLiteral("4%1").arg(contact, 7, 10, QLatin1Char('0'));
    });
    static int nextUnknown = 0;
    medians.unknown = measure(logger, record, [&](int) {
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
    for (const bool durable : {true, false}) {
        out << Qt::endl
            << (durable ? "As shipped (synchronous=FULL, one commit per statement)"
                        : "Without the sync to disk (synchronous=OFF)")
            << Qt::endl;
        const Medians s = run(dir.filePath(small.name), small, durable);
        const Medians b = run(dir.filePath(big.name), big, durable);
        out << QStringLiteral("  median LogCall(), known number:   %1 us / %2 us, ratio %3")
                   .arg(s.known, 0, 'f', 1)
                   .arg(b.known, 0, 'f', 1)
                   .arg(b.known / s.known, 0, 'f', 2)
            << Qt::endl;
        out << QStringLiteral("  median LogCall(), unknown number: %1 us / %2 us, ratio %3")
                   .arg(s.unknown, 0, 'f', 1)
                   .arg(b.unknown, 0, 'f', 1)
                   .arg(b.unknown / s.unknown, 0, 'f', 2)
            << Qt::endl;
    }
    out << Qt::endl << "(small book / big book, " << kSamples << " calls each)" << Qt::endl;
    return 0;
}
