#pragma once

#include <QString>
#include <functional>

#include "call/seams.h"

namespace ringwise {

class Database;
struct ContactRequest;

// Answers "CNTAC:" requests: "SAVE" adds or changes a contact, "SEAR" looks contacts up.
// Everything a client sends is bound as a statement value, never joined into SQL.
class ContactRequests {
public:
    ContactRequests(Database &database, SendText sendToClients);

    // Sends exactly one answer, "CNTAC:ERRO;" and a description on any failure; an
    // unknown request or search field gets none.
    void HandleContactRequest(const QString &text);

private:
    QString save(const ContactRequest &request);
    QString search(const ContactRequest &request);

    Database &m_database;
    SendText m_sendToClients;
};

}  // namespace ringwise
