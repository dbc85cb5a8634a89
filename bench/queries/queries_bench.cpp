// SPDX-License-Identifier: GPL-3.0-or-later
// Times the client queries on a large database. Run by hand on a Release build:
//   queries_bench
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include "db/database.h"
#include "queries/contact_requests.h"
#include "queries/stats_queries.h"
#include "support/big_log.h"

using namespace ringwise;
using namespace ringwise::bench;

namespace {

// One database with its two handlers; the answers only have their size kept.
class Bench {
public:
    Bench(QTextStream &out, const QString &path, int contacts, int calls) : m_out(out) {
        m_db.open(path, Database::OpenMode::CreateIfMissing);
        QElapsedTimer timer;
        timer.start();
        fill(m_db, contacts, calls);
        m_out << QStringLiteral("%1 contacts, %2 calls: filled in %3 ms\n")
                     .arg(contacts)
                     .arg(calls)
                     .arg(timer.elapsed());
        m_out.flush();
    }

    double time(const QString &request) {
        StatsQueries stats(m_db);
        ContactRequests contacts(m_db);
        const bool isStats = request.startsWith(QLatin1String("STATS:"));
        const double ms = medianMs([&] {
            const std::optional<QString> answer = isStats ? stats.HandleStatsRequest(request)
                                                          : contacts.HandleContactRequest(request);
            m_answerSize = answer ? answer->size() : 0;
        });
        m_out << QStringLiteral("  %1 %2 ms  (answer %3 characters)\n")
                     .arg(request, -36)
                     .arg(ms, 9, 'f', 3)
                     .arg(m_answerSize);
        m_out.flush();
        return ms;
    }

    void plan(const QString &statement) {
        Query steps = m_db.query(QStringLiteral("EXPLAIN QUERY PLAN ") + statement);
        m_out << "  plan of " << statement << "\n";
        for (; !steps.atEnd(); steps.next())
            m_out << "    " << steps.field("detail") << "\n";
        m_out.flush();
    }

private:
    Database m_db;
    QTextStream &m_out;
    qsizetype m_answerSize = 0;
};

}  // namespace

int main() {
    QTemporaryDir dir;
    QTextStream out(stdout);
    Bench tiny(out, dir.filePath("tiny.db"), 100, 1000);
    Bench small(out, dir.filePath("small.db"), 10000, 100000);
    Bench large(out, dir.filePath("large.db"), 100000, 1000000);

    out << "100 contacts, 1,000 calls:\n";
    const double tinyTops = tiny.time("STATS:TOPS;10");
    out << "10,000 contacts, 100,000 calls:\n";
    small.time("STATS:LAST;100");
    const double smallContacts = small.time(kFakeOutgoingRequest);
    out << "100,000 contacts, 1,000,000 calls:\n";
    large.time("STATS:LAST;100");
    large.time("STATS:UNKN;100");
    const double largeTops = large.time("STATS:TOPS;10");
    const double largeContacts = large.time(kFakeOutgoingRequest);
    large.time("CNTAC:SEAR;ALLF;12");
    large.time("CNTAC:SEAR;NAME;" + kRareName.left(8));
    large.plan(
        "SELECT a.*, b.* FROM tblCalls A, tblContacts B WHERE a.ContactID = b.ID "
        "ORDER BY a.ID DESC");
    large.plan(
        "SELECT * FROM tblContacts ORDER By Unrecognized COLLATE Danish, FullName COLLATE Danish");
    large.plan(
        "SELECT * FROM tblContacts ORDER BY (CASE typeof(TotalCalls) WHEN 'integer' THEN "
        "TotalCalls WHEN 'real' THEN CASE WHEN abs(TotalCalls) >= 4503599627370496.0 THEN "
        "TotalCalls ELSE CAST(TotalCalls AS INTEGER) - (TotalCalls < CAST(TotalCalls AS "
        "INTEGER)) END END) DESC, ID");
    out << QStringLiteral("STATS:TOPS;10 at 100,000 contacts / at 100: %1\n")
               .arg(largeTops / tinyTops, 0, 'f', 1);
    out << QStringLiteral("STATS:CNTS;00 at 100,000 contacts / at 10,000: %1\n")
               .arg(largeContacts / smallContacts, 0, 'f', 1);
    return 0;
}
