#include "intake/call_logger.h"

#include "call/call_line.h"
#include "call/call_record.h"
#include "db/database.h"
#include "db/database_error.h"

namespace ringwise {

namespace {

// The panel shows a contact's values with a blank in front; a null shows as the blank alone.
QString shown(const Query &row, const char *column) {
    return QLatin1Char(' ') + row.field(column);
}

}  // namespace

CallLogger::CallLogger(Database &database, CallRecord &record, std::function<bool()> lookupsEnabled,
                       std::function<void(const CallFields &call)> startLookup,
                       SendText sendToClients)
    : m_database(database),
      m_record(record),
      m_lookupsEnabled(std::move(lookupsEnabled)),
      m_startLookup(std::move(startLookup)),
      m_sendToClients(std::move(sendToClients)) {}

void CallLogger::LogCall() {
    // The number exactly as held, untrimmed.
    const QString number = m_record.value(CallField::Number);
    Transaction call(m_database);
    const bool lookUp = !findContact(number) && findOrCreateUnrecognized(number);
    storeCall(number);
    raiseTotalCalls();
    call.commit();
    // Only now does the contact to be named exist for a new number.
    if (lookUp)
        m_startLookup(m_record.fields());
    m_sendToClients(callLine(m_record.fields()));
    // The clients are not kept waiting for the disk; the next character is.
    m_database.syncLog();
}

void CallLogger::RecordRing() {
    m_record.set(CallField::CallId, newestCallId());
    m_database.exec(QStringLiteral("UPDATE tblCalls SET CallRings = (?) WHERE ID = ?"),
                    {m_record.value(CallField::Rings), m_record.value(CallField::CallId)});
    m_database.syncLog();
}

bool CallLogger::findContact(const QString &number) {
    const Query contact = m_database.query(QStringLiteral("SELECT * FROM tblContacts "
                                                          "WHERE MobilePhone = ? "
                                                          "OR HomePhone = ? "
                                                          "OR BusinessPhone = ? "
                                                          "OR BusinessFax = ?"),
                                           {number, number, number, number});
    if (contact.atEnd())
        return false;
    m_record.set(CallField::Name, shown(contact, "FullName"));
    m_record.set(CallField::HomePhone, shown(contact, "HomePhone"));
    m_record.set(CallField::MobilePhone, shown(contact, "MobilePhone"));
    m_record.set(CallField::WorkPhone, shown(contact, "BusinessPhone"));
    m_record.set(CallField::WorkFax, shown(contact, "BusinessFax"));
    m_record.set(CallField::Email, shown(contact, "Email"));
    m_record.set(CallField::ContactId, contact.field("ID"));
    return true;
}

// Returns whether the caller should be looked up.
bool CallLogger::findOrCreateUnrecognized(const QString &number) {
    for (CallField field : {CallField::Name, CallField::HomePhone, CallField::MobilePhone,
                            CallField::WorkPhone, CallField::WorkFax, CallField::Email})
        m_record.set(field, QStringLiteral(" "));
    if (findUnrecognized(number))
        return trimBlanks(m_record.value(CallField::Name)).isEmpty() && lookupWanted(number);
    const bool lookUp = lookupWanted(number);
    m_database.exec(QStringLiteral("INSERT INTO tblContacts (Unrecognized) VALUES(?)"), {number});
    m_record.set(CallField::ContactId, QString::number(m_database.lastInsertRowId()));
    return lookUp;
}

bool CallLogger::findUnrecognized(const QString &number) {
    const Query unrecognized = m_database.query(
        QStringLiteral("SELECT FullName, ID FROM tblContacts WHERE Unrecognized = ?"), {number});
    if (unrecognized.atEnd())
        return false;
    m_record.set(CallField::Name, shown(unrecognized, "FullName"));
    m_record.set(CallField::ContactId, unrecognized.field("ID"));
    return true;
}

bool CallLogger::lookupWanted(const QString &number) const {
    return trimBlanks(number) != kSecretNumber && m_lookupsEnabled();
}

void CallLogger::storeCall(const QString &number) {
    m_database.exec(
        QStringLiteral("INSERT INTO tblCalls (ContactID, CallTime, CallRings, "
                       "CallNumber) VALUES(?, ?, 0, ?)"),
        {m_record.value(CallField::ContactId), m_record.value(CallField::CallTime), number});
}

void CallLogger::raiseTotalCalls() {
    const QString contactId = m_record.value(CallField::ContactId);
    const qint64 total = totalCalls(contactId);
    m_database.exec(QStringLiteral("UPDATE tblContacts SET TotalCalls = (?) WHERE ID = ?"),
                    {total + 1, contactId});
}

qint64 CallLogger::totalCalls(const QString &contactId) {
    const Query row = m_database.query(
        QStringLiteral("SELECT TotalCalls FROM tblContacts WHERE ID = ?"), {contactId});
    if (row.isNull("TotalCalls"))
        throw DatabaseError(-1, QStringLiteral("The contact has no call total"));
    bool ok = false;
    // A total kept as text ("5") counts as its number.
    const qint64 total = row.field("TotalCalls").toLongLong(&ok);
    if (!ok)
        throw DatabaseError(-1, QStringLiteral("The call total is not a whole number"));
    return total;
}

QString CallLogger::newestCallId() {
    // The newest row may have been stored by an earlier run, so the log itself is asked.
    const Query newest =
        m_database.query(QStringLiteral("SELECT MAX(ID) As CallsID FROM tblCalls"));
    if (newest.isNull("CallsID"))
        throw DatabaseError(-1, QStringLiteral("The call log is empty"));
    return newest.field("CallsID");
}

}  // namespace ringwise
