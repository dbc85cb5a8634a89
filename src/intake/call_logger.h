// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

#include "call/call_record.h"
#include "call/seams.h"
#include "db/log_syncer.h"
#include "intake/call_events.h"

namespace ringwise {

class Database;
class DatabaseError;

// Matches a complete number to a contact (creating an unrecognised one for a number that
// belongs to nobody), stores the call, raises the contact's total and announces the call;
// at each ring it writes the running count into the call the record holds. One call is one
// transaction. The phone is ringing now, so a call is announced whatever the database
// does: one it cannot take (locked by another program, a full disk) waits in order, with
// its own time, number and rings, and is stored as soon as the database takes it. Each
// call is flushed to disk after it is announced, on the syncing thread: the device holds its
// next character until logSynced(). A ring count is flushed within kRingFlushMs.
class CallLogger : public QObject, public CallEvents {
    Q_OBJECT
public:
    static constexpr int kDefaultRetryMs = 1000;
    // How long a ring count may wait for a flush; a call's flush takes it along sooner.
    static constexpr int kRingFlushMs = 1000;
    inline static const QString kTitle = QStringLiteral("Database");

    // lookupsEnabled is asked at the moment a lookup is considered; startLookup receives
    // the call's fields once everything is stored, so it knows the contact to name. report
    // tells the user of calls that wait, and of the disk failing a sync. entryBlocking is
    // asked at each call; a blocked call is stored and announced as any other, and marked
    // in tblBlockedCalls within its transaction.
    CallLogger(Database &database, CallRecord &record, std::function<bool()> lookupsEnabled,
               std::function<void(const CallFields &call)> startLookup, SendText sendToClients,
               Report report, int retryMs = kDefaultRetryMs, SyncFile syncFile = syncFileData,
               BlockCheck entryBlocking = {}, QObject *parent = nullptr);

    void LogCall() override;
    void RecordRing() override;
    // The block-list entry that blocked the call logged last; empty when none did.
    const QString &lastBlockedBy() const { return m_lastBlockedBy; }
    // The ring count of the call logged under this record serial, which need not be the
    // record's call any more (a router reports calls that overlap). Only the last
    // kRememberedCalls stored calls are known.
    void writeRings(quint64 serial, const QString &rings);
    static constexpr std::size_t kRememberedCalls = 16;

    // Calls and ring counts that wait for the database.
    int waitingCount() const { return int(m_waiting.size()); }
    // The database file was replaced: the calls it held are no longer the record's to ring.
    void forgetStoredCalls();
    // One last try, at shut-down; says how many are lost when some still wait. True when
    // nothing is lost.
    bool storeBeforeExit();

signals:
    // Calls that waited are now in the database.
    void waitingCallsStored();
    // A flush of the log has begun; the device holds its input until logSynced().
    void logSyncStarted();
    // Everything stored so far is on the disk, or the disk has failed a flush.
    void logSynced();

private:
    // A call that is not stored yet (its CallId is "0"), or the rings of a stored one.
    struct Waiting {
        quint64 serial = 0;  // the record's serial while the call was current
        CallFields fields;
        bool waited = false;  // the database has refused it, or a call before it
        QString blockedBy{};  // the block-list entry that blocked the call
    };
    enum class Match { Contact, Unrecognized, None };

    // Stores a stored call's ring count, or keeps it waiting behind the calls that wait.
    void storeRings(Waiting rings);
    // Stores what waits, oldest first, until the database refuses one.
    void storeWaiting();
    // Stores one call (or its rings) in one transaction; throws DatabaseError.
    void store(Waiting &waiting);
    // Keeps everything waiting for the retry; says so when calls begin to wait.
    void noteWaiting(const DatabaseError &error);
    // Not stored yet, rather than the rings of a stored call.
    static bool isCall(const Waiting &waiting);
    int waitingCalls() const;
    Waiting *waitingFor(quint64 serial);
    void copyContactToRecord(const CallFields &call);
    // Flushes the log, holding the device's input until logSynced().
    void syncLog();
    // False when no database is open.
    bool startFlush();
    void noteFlushed(int error);
    void tell(const QString &text);
    void reportNotes();

    Match match(CallFields &call);
    bool findContact(CallFields &call);
    bool findUnrecognized(CallFields &call);
    bool lookupWanted(const QString &number) const;
    void raiseTotalCalls(const QString &contactId);

    Database &m_database;
    CallRecord &m_record;
    std::function<bool()> m_lookupsEnabled;
    std::function<void(const CallFields &call)> m_startLookup;
    SendText m_sendToClients;
    Report m_report;
    BlockCheck m_entryBlocking;
    QString m_lastBlockedBy;
    std::deque<Waiting> m_waiting;
    std::deque<std::pair<quint64, QString>> m_storedCalls;  // serial and CallId, newest last
    int m_storedAfterWaiting = 0;
    bool m_reportedWaiting = false;
    bool m_reportedSyncFailure = false;
    QTimer m_retry;
    QTimer m_ringFlush;
    QStringList m_notes;  // told once the device has shown what it holds
    LogSyncer m_syncer;
};

}  // namespace ringwise
