// SPDX-License-Identifier: GPL-3.0-or-later
#include "queries/block_list.h"

#include "call/call_record.h"
#include "call/phone_number.h"
#include "call/time_format.h"
#include "db/database.h"

namespace ringwise {

namespace {

const QLatin1Char kPrefixMark('*');
const QString kWithheldNote = QStringLiteral("BlockWithheld");

// What a number may be written with besides its digits: "+45 (22) 33-44.55".
bool isNumberText(const QString &text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool allowed = (c >= u'0' && c <= u'9') || c == u' ' || c == u'-' || c == u'.' ||
                             c == u'(' || c == u')' || (c == u'+' && i == 0);
        if (!allowed)
            return false;
    }
    return true;
}

BlockList::Parsed problem(const QString &text) {
    return {QString(), text};
}

}  // namespace

BlockList::Parsed BlockList::parseEntry(const QString &text, const QString &countryCode) {
    QString body = text.trimmed();
    if (body == kSecretNumber)
        return problem(QStringLiteral("Withheld numbers are blocked by the setting BlockWithheld"));
    const bool prefix = body.endsWith(kPrefixMark);
    if (prefix)
        body.chop(1);
    if (!isNumberText(body.trimmed()))
        return problem(QStringLiteral("An entry is a number, or a prefix ending in *"));
    const QString digits = nationalNumber(body, countryCode);
    if (digits.isEmpty())
        return problem(QStringLiteral("An entry needs a digit"));
    if (digits.size() > kMaxDigits)
        return problem(QStringLiteral("An entry holds at most %1 digits").arg(kMaxDigits));
    return {prefix ? digits + kPrefixMark : digits, QString()};
}

QString BlockList::noteProblem(const QString &note) {
    if (note.size() > BlockEntry::kMaxNoteLength)
        return QStringLiteral("A note holds at most %1 characters").arg(BlockEntry::kMaxNoteLength);
    for (const QChar c : note) {
        if (c == u';' || c == u',' || c == u':' || c.category() == QChar::Other_Control)
            return QStringLiteral(
                "A note cannot hold a comma, a colon, a semicolon or a control character");
    }
    return QString();
}

QString BlockList::blockingEntry(const QStringList &entries, const QString &number) {
    if (number.isEmpty())
        return QString();
    QString best;
    for (const QString &entry : entries) {
        if (entry == number)
            return entry;
        const bool longerPrefix = entry.endsWith(kPrefixMark) && entry.size() > best.size() &&
                                  entry.size() > 1 && number.startsWith(entry.chopped(1));
        if (longerPrefix)
            best = entry;
    }
    return best;
}

BlockList::BlockList(Database &database, Clock now, BlockListSettings settings)
    : m_database(database), m_now(std::move(now)), m_settings(std::move(settings)) {}

QString BlockList::entryBlocking(const QString &number) const {
    if (number == kSecretNumber)
        return m_settings.blockWithheld() ? kSecretNumber : QString();
    QStringList entries;
    for (Query row = m_database.query(QStringLiteral("SELECT Number FROM tblBlocked"));
         !row.atEnd(); row.next())
        entries << row.field("Number");
    return blockingEntry(entries, number);
}

BlockList::Parsed BlockList::add(const QString &text, const QString &note) {
    const Parsed parsed = parseEntry(text, m_settings.countryCode());
    if (!parsed.problem.isEmpty())
        return parsed;
    if (const QString refusal = noteProblem(note); !refusal.isEmpty())
        return problem(refusal);
    if (!m_database
             .query(QStringLiteral("SELECT 1 FROM tblBlocked WHERE Number = ?"), {parsed.entry})
             .atEnd())
        return problem(QStringLiteral("%1 is already on the block list").arg(parsed.entry));
    m_database.exec(QStringLiteral("INSERT INTO tblBlocked (Number, Note, Added) VALUES(?, ?, ?)"),
                    {parsed.entry, note, m_now().toString(kTimeFormat)});
    return parsed;
}

BlockList::Parsed BlockList::remove(const QString &text) {
    const Parsed parsed = parseEntry(text, m_settings.countryCode());
    if (!parsed.problem.isEmpty())
        return parsed;
    if (m_database.exec(QStringLiteral("DELETE FROM tblBlocked WHERE Number = ?"),
                        {parsed.entry}) == 0)
        return problem(QStringLiteral("%1 is not on the block list").arg(parsed.entry));
    return parsed;
}

std::vector<BlockEntry> BlockList::entries() const {
    // BlockWithheld's entry joins the stored ones, so its calls are counted the same way.
    Query row = m_database.query(
        QStringLiteral(
            "WITH E (Number, Note, Added, Stored) AS ("
            " SELECT ?1, ?2, '', 0 WHERE ?3"
            " UNION ALL SELECT Number, Note, Added, 1 FROM tblBlocked) "
            "SELECT E.Number, E.Note, E.Added, COUNT(C.ID) AS Calls, MAX(C.CallTime) AS Last "
            "FROM E LEFT JOIN tblBlockedCalls K ON K.Entry = E.Number "
            "LEFT JOIN tblCalls C ON C.ID = K.CallID "
            "GROUP BY E.Stored, E.Number ORDER BY E.Stored, E.Number"),
        {kSecretNumber, kWithheldNote, m_settings.blockWithheld()});
    std::vector<BlockEntry> entries;
    for (; !row.atEnd(); row.next())
        entries.push_back({row.field("Number"), row.field("Note"), row.field("Added"),
                           row.field("Calls").toLongLong(), row.field("Last")});
    return entries;
}

}  // namespace ringwise
