#pragma once

#include <QString>
#include <optional>

namespace ringwise {

class Database;
struct ContactRequest;

// Answers "CNTAC:" requests: "SAVE" adds or changes a contact, "SEAR" looks contacts up.
// Everything a client sends is bound as a statement value, never joined into SQL.
class ContactRequests {
public:
    explicit ContactRequests(Database &database);

    // The answer, "CNTAC:ERRO;" and a description on any failure; none for an unknown
    // request or search field.
    std::optional<QString> HandleContactRequest(const QString &text);

private:
    QString save(const ContactRequest &request);
    QString search(const ContactRequest &request);

    Database &m_database;
};

}  // namespace ringwise
