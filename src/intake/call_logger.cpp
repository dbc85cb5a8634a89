// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/call_logger.h"

#include <sqlite3.h>

#include <QStringList>
#include <algorithm>

#include "call/call_line.h"
#include "call/system_error.h"
#include "db/database.h"
#include "db/database_error.h"

namespace ringwise {

namespace {

// The key of a call that is not stored yet: keys start at 1.
const QString kNotStored = QStringLiteral("0");
// Tries at shut-down; each waits up to the database's busy timeout for a lock to go.
constexpr int kExitAttempts = 40;

const CallField kContactFields[] = {CallField::Name,        CallField::HomePhone,
                                    CallField::MobilePhone, CallField::WorkPhone,
                                    CallField::WorkFax,     CallField::Email};

// The panel shows a contact's values with a blank in front; a null shows as the blank alone.
QString shown(const Query &row, const char *column) {
    return QLatin1Char(' ') + row.field(column);
}

// A caller without a contact shows a blank in each of the contact's fields.
void blankContact(CallFields &call) {
    for (CallField field : kContactFields)
        call[field] = QStringLiteral(" ");
}

QString calls(int count) {
    return count == 1 ? QStringLiteral("1 call") : QStringLiteral("%1 calls").arg(count);
}

// What waits, in words: "2 calls", "the rings of 1 call", "1 call and the rings of 1 call".
QString waitingText(int unstored, int ringCounts) {
    QStringList parts;
    if (unstored > 0)
        parts << calls(unstored);
    if (ringCounts > 0)
        parts << QStringLiteral("the rings of %1").arg(calls(ringCounts));
    return parts.join(QStringLiteral(" and "));
}

// Why the database does not take a call, in the user's words.
QString reason(const DatabaseError &error) {
    switch (error.number() & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return QStringLiteral("locked by another program");
        case SQLITE_READONLY:
            return QStringLiteral("the file cannot be written");
        case SQLITE_FULL:
            return QStringLiteral("the disk is full");
        default:
            return error.description();
    }
}

}  // namespace

CallLogger::CallLogger(Database &database, CallRecord &record, std::function<bool()> lookupsEnabled,
                       std::function<void(const CallFields &call)> startLookup,
                       SendText sendToClients, Report report, int retryMs, SyncFile syncFile,
                       BlockCheck entryBlocking, QObject *parent)
    : QObject(parent),
      m_database(database),
      m_record(record),
      m_lookupsEnabled(std::move(lookupsEnabled)),
      m_startLookup(std::move(startLookup)),
      m_sendToClients(std::move(sendToClients)),
      m_report(std::move(report)),
      m_entryBlocking(std::move(entryBlocking)),
      m_syncer(std::move(syncFile)) {
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, &CallLogger::storeWaiting);
    m_ringFlush.setSingleShot(true);
    m_ringFlush.setInterval(kRingFlushMs);
    connect(&m_ringFlush, &QTimer::timeout, this, &CallLogger::startFlush);
    connect(&m_syncer, &LogSyncer::flushed, this, &CallLogger::noteFlushed);
}

void CallLogger::LogCall() {
    m_lastBlockedBy.clear();
    try {
        if (m_entryBlocking)
            m_lastBlockedBy = m_entryBlocking(m_record.value(CallField::Number));
    } catch (const DatabaseError &) {
        // A block list that cannot be read blocks nothing: the call is let through.
    }
    m_waiting.push_back(Waiting{m_record.serial(), m_record.fields(), false, m_lastBlockedBy});
    storeWaiting();
    if (waitingFor(m_record.serial())) {
        // Announced with what the book says of the caller now; a database that cannot even
        // be read leaves the number alone.
        CallFields known = m_record.fields();
        try {
            match(known);
        } catch (const DatabaseError &) {
            blankContact(known);
        }
        copyContactToRecord(known);
    }
    m_sendToClients(callLine(m_record.fields()));
    // The clients are not kept waiting for the disk; the next character is.
    syncLog();
}

void CallLogger::RecordRing() {
    if (Waiting *waiting = waitingFor(m_record.serial())) {
        waiting->fields[CallField::Rings] = m_record.value(CallField::Rings);
        return;
    }
    // Before its "#" a call is not stored yet: it takes its rings along when it is.
    if (m_record.value(CallField::CallId) == kNotStored)
        return;
    storeRings(Waiting{m_record.serial(), m_record.fields()});
}

void CallLogger::writeRings(quint64 serial, const QString &rings) {
    if (serial == m_record.serial()) {
        m_record.set(CallField::Rings, rings);
        RecordRing();
        return;
    }
    if (Waiting *waiting = waitingFor(serial)) {
        waiting->fields[CallField::Rings] = rings;
        return;
    }
    const auto stored = std::find_if(m_storedCalls.cbegin(), m_storedCalls.cend(),
                                     [serial](const auto &call) { return call.first == serial; });
    if (stored == m_storedCalls.cend())
        return;
    Waiting waiting{serial, CallFields()};
    waiting.fields[CallField::CallId] = stored->second;
    waiting.fields[CallField::Rings] = rings;
    storeRings(waiting);
}

void CallLogger::storeRings(Waiting rings) {
    // Behind calls that wait, so that the log keeps their order.
    if (!m_waiting.empty()) {
        rings.waited = true;
        m_waiting.push_back(rings);
        return;
    }
    try {
        store(rings);
    } catch (const DatabaseError &error) {
        m_waiting.push_back(rings);
        noteWaiting(error);
        return;
    }
    // A ring count is not worth holding the device for: the next call's flush takes it
    // along, or this one a moment later.
    if (!m_ringFlush.isActive())
        m_ringFlush.start();
}

bool CallLogger::storeBeforeExit() {
    for (int attempt = 0; attempt < kExitAttempts && !m_waiting.empty(); ++attempt)
        storeWaiting();
    // The syncing thread finishes this flush before the program ends.
    if (m_ringFlush.isActive())
        startFlush();
    if (m_waiting.empty())
        return true;
    const int unstored = waitingCalls();
    const int ringCounts = waitingCount() - unstored;
    m_report(kTitle, QStringLiteral("%1 could not be stored and %2 lost.")
                         .arg(waitingText(unstored, ringCounts), unstored == 1 && ringCounts == 0
                                                                     ? QStringLiteral("is")
                                                                     : QStringLiteral("are")));
    return false;
}

void CallLogger::storeWaiting() {
    while (!m_waiting.empty()) {
        Waiting &next = m_waiting.front();
        const bool waitedCall = next.waited && isCall(next);
        try {
            store(next);
        } catch (const DatabaseError &error) {
            noteWaiting(error);
            return;
        }
        if (waitedCall)
            ++m_storedAfterWaiting;
        m_waiting.pop_front();
    }
    m_retry.stop();
    if (!std::exchange(m_reportedWaiting, false))
        return;
    const int stored = std::exchange(m_storedAfterWaiting, 0);
    tell(stored == 0   ? QStringLiteral("the waiting ring counts are stored.")
         : stored == 1 ? QStringLiteral("the waiting call is stored.")
                       : QStringLiteral("the %1 waiting calls are stored.").arg(stored));
    syncLog();
    emit waitingCallsStored();
}

void CallLogger::noteWaiting(const DatabaseError &error) {
    for (Waiting &waiting : m_waiting)
        waiting.waited = true;
    if (!m_retry.isActive())
        m_retry.start();
    if (std::exchange(m_reportedWaiting, true))
        return;
    const int unstored = waitingCalls();
    tell(QStringLiteral("%1; %2 waiting to be stored.")
             .arg(reason(error), waitingText(unstored, waitingCount() - unstored)));
}

void CallLogger::store(Waiting &waiting) {
    CallFields call = waiting.fields;
    if (!isCall(waiting)) {
        // One statement is a transaction of its own.
        m_database.exec(QStringLiteral("UPDATE tblCalls SET CallRings = (?) WHERE ID = ?"),
                        {call[CallField::Rings], call[CallField::CallId]});
        return;
    }
    Transaction transaction(m_database);
    // The number exactly as held, untrimmed.
    const QString number = call[CallField::Number];
    bool lookUp = false;
    switch (match(call)) {
        case Match::Contact:
            break;
        case Match::Unrecognized:
            lookUp = trimBlanks(call[CallField::Name]).isEmpty() && lookupWanted(number);
            break;
        case Match::None:
            lookUp = lookupWanted(number);
            m_database.exec(QStringLiteral("INSERT INTO tblContacts (Unrecognized) VALUES(?)"),
                            {number});
            call[CallField::ContactId] = QString::number(m_database.lastInsertRowId());
            break;
    }
    m_database.exec(
        QStringLiteral("INSERT INTO tblCalls (ContactID, CallTime, CallRings, "
                       "CallNumber) VALUES(?, ?, ?, ?)"),
        {call[CallField::ContactId], call[CallField::CallTime], call[CallField::Rings], number});
    call[CallField::CallId] = QString::number(m_database.lastInsertRowId());
    if (!waiting.blockedBy.isEmpty())
        m_database.exec(QStringLiteral("INSERT INTO tblBlockedCalls (CallID, Entry) VALUES(?, ?)"),
                        {call[CallField::CallId], waiting.blockedBy});
    raiseTotalCalls(call[CallField::ContactId]);
    transaction.commit();

    m_storedCalls.emplace_back(waiting.serial, call[CallField::CallId]);
    if (m_storedCalls.size() > kRememberedCalls)
        m_storedCalls.pop_front();
    waiting.fields = call;
    if (waiting.serial != m_record.serial())
        return;
    copyContactToRecord(call);
    // Only now does the contact to be named exist for a new number. A call that waited
    // behind a newer one is not looked up: the lookup names the call the record shows, and
    // the caller's next call looks the number up.
    if (lookUp)
        m_startLookup(call);
}

bool CallLogger::isCall(const Waiting &waiting) {
    return waiting.fields[CallField::CallId] == kNotStored;
}

int CallLogger::waitingCalls() const {
    return int(std::count_if(m_waiting.cbegin(), m_waiting.cend(), isCall));
}

void CallLogger::forgetStoredCalls() {
    // Their rows were in the file that is gone; the same keys may name other calls now.
    m_waiting.erase(std::remove_if(m_waiting.begin(), m_waiting.end(),
                                   [](const Waiting &waiting) { return !isCall(waiting); }),
                    m_waiting.end());
    m_storedCalls.clear();
    m_record.set(CallField::CallId, kNotStored);
}

CallLogger::Waiting *CallLogger::waitingFor(quint64 serial) {
    for (Waiting &waiting : m_waiting) {
        if (waiting.serial == serial)
            return &waiting;
    }
    return nullptr;
}

void CallLogger::copyContactToRecord(const CallFields &call) {
    for (CallField field : kContactFields)
        m_record.set(field, call[field]);
    m_record.set(CallField::ContactId, call[CallField::ContactId]);
    m_record.set(CallField::CallId, call[CallField::CallId]);
}

void CallLogger::syncLog() {
    // The flush takes along every ring count committed before it.
    m_ringFlush.stop();
    if (startFlush())
        emit logSyncStarted();
}

bool CallLogger::startFlush() {
    std::shared_ptr<const LogFile> log;
    try {
        log = m_database.logFile();
    } catch (const DatabaseError &) {
        return false;  // closed: nothing committed is left to flush
    }
    if (!log)
        return false;  // a database in memory has no log on a disk
    m_syncer.sync(std::move(log));
    return true;
}

void CallLogger::noteFlushed(int error) {
    if (error == 0)
        m_reportedSyncFailure = false;
    else if (!std::exchange(m_reportedSyncFailure, true))
        tell(QStringLiteral("the disk did not confirm the last write (%1); calls since "
                            "then may be lost if the power fails.")
                 .arg(systemErrorText(error)));
    if (m_syncer.busy())
        return;
    emit logSynced();
    // The characters released may hold another call, which holds the device again.
    if (!m_syncer.busy())
        reportNotes();
}

void CallLogger::tell(const QString &text) {
    // After the characters at hand have been shown, those the device holds during a flush
    // among them, so that a call's line in the device output is not cut by the note.
    m_notes << text;
    if (m_notes.size() == 1)
        QTimer::singleShot(0, this, [this] {
            if (!m_syncer.busy())
                reportNotes();
        });
}

void CallLogger::reportNotes() {
    for (const QString &note : std::exchange(m_notes, {}))
        m_report(kTitle, note);
}

CallLogger::Match CallLogger::match(CallFields &call) {
    // An empty number is a call whose number the line did not send: it belongs to the one
    // contact kept for such calls, never to a contact whose phone field happens to be empty.
    if (!call[CallField::Number].isEmpty() && findContact(call))
        return Match::Contact;
    blankContact(call);
    return findUnrecognized(call) ? Match::Unrecognized : Match::None;
}

bool CallLogger::findContact(CallFields &call) {
    const QString &number = call[CallField::Number];
    const Query contact = m_database.query(QStringLiteral("SELECT * FROM tblContacts "
                                                          "WHERE MobilePhone = ? "
                                                          "OR HomePhone = ? "
                                                          "OR BusinessPhone = ? "
                                                          "OR BusinessFax = ?"),
                                           {number, number, number, number});
    if (contact.atEnd())
        return false;
    call[CallField::Name] = shown(contact, "FullName");
    call[CallField::HomePhone] = shown(contact, "HomePhone");
    call[CallField::MobilePhone] = shown(contact, "MobilePhone");
    call[CallField::WorkPhone] = shown(contact, "BusinessPhone");
    call[CallField::WorkFax] = shown(contact, "BusinessFax");
    call[CallField::Email] = shown(contact, "Email");
    call[CallField::ContactId] = contact.field("ID");
    return true;
}

bool CallLogger::findUnrecognized(CallFields &call) {
    // An import leaves an empty Unrecognized on every contact it brings: the contact kept
    // for calls without a number is the one that also has no name.
    const Query unrecognized =
        call[CallField::Number].isEmpty()
            ? m_database.query(QStringLiteral("SELECT FullName, ID FROM tblContacts WHERE "
                                              "Unrecognized = '' AND trim(ifnull(FullName, '')) "
                                              "= ''"))
            : m_database.query(
                  QStringLiteral("SELECT FullName, ID FROM tblContacts WHERE Unrecognized = ?"),
                  {call[CallField::Number]});
    if (unrecognized.atEnd())
        return false;
    call[CallField::Name] = shown(unrecognized, "FullName");
    call[CallField::ContactId] = unrecognized.field("ID");
    return true;
}

bool CallLogger::lookupWanted(const QString &number) const {
    const QString trimmed = trimBlanks(number);
    return !trimmed.isEmpty() && trimmed != kSecretNumber && m_lookupsEnabled();
}

void CallLogger::raiseTotalCalls(const QString &contactId) {
    // A total kept as text ("5") counts as its number; an empty, NULL or other text total
    // (what an import of an empty field leaves) counts as 0.
    m_database.exec(QStringLiteral("UPDATE tblContacts SET TotalCalls = "
                                   "ifnull(CAST(TotalCalls AS INTEGER), 0) + 1 WHERE ID = ?"),
                    {contactId});
}

}  // namespace ringwise
