#pragma once

#include <QString>
#include <functional>

#include "call/seams.h"
#include "intake/call_events.h"

namespace ringwise {

class CallFields;
class CallRecord;
class Database;

// Matches a complete number to a contact (creating an unrecognised one for a number that
// belongs to nobody), stores the call, raises the contact's total and announces the call;
// at each ring it writes the running count into the newest call. One call is one
// transaction: a failing statement throws and undoes the whole call; nothing is then
// sent and no lookup starts. Each call and ring is flushed to disk after it is announced.
class CallLogger : public CallEvents {
public:
    // lookupsEnabled is asked at the moment a lookup is considered; startLookup receives
    // the call's fields once everything is stored, so it knows the contact to name.
    CallLogger(Database &database, CallRecord &record, std::function<bool()> lookupsEnabled,
               std::function<void(const CallFields &call)> startLookup, SendText sendToClients);

    void LogCall() override;
    void RecordRing() override;

private:
    bool findContact(const QString &number);
    bool findOrCreateUnrecognized(const QString &number);
    bool findUnrecognized(const QString &number);
    bool lookupWanted(const QString &number) const;
    void storeCall(const QString &number);
    void raiseTotalCalls();
    qint64 totalCalls(const QString &contactId);
    QString newestCallId();

    Database &m_database;
    CallRecord &m_record;
    std::function<bool()> m_lookupsEnabled;
    std::function<void(const CallFields &call)> m_startLookup;
    SendText m_sendToClients;
};

}  // namespace ringwise
