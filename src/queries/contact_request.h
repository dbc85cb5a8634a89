// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace ringwise {

// The contact columns a search looks in; AllFields looks in every one of them.
enum class SearchField {
    AllFields,
    FullName,
    HomePhone,
    MobilePhone,
    Email,
    BusinessPhone,
    BusinessFax
};

// What a "CNTAC:" request asks for. "SAVE;ID,six values" adds (ID "NEW") or changes a
// contact; "SEAR;FIELD;term" with an optional ",@ID:key" at the end looks contacts up.
struct ContactRequest {
    enum class Kind {
        Ignored,    // not a request this server knows: no answer is due
        Malformed,  // a save that cannot be carried out: answered with the problem
        Save,
        Search,
    };
    Kind kind = Kind::Ignored;
    QString problem;                   // Malformed: why, as the error answer says
    std::optional<qint64> contactKey;  // Save: the contact to change; empty for a new one
    // Save: FullName, HomePhone, MobilePhone, Email, BusinessPhone, BusinessFax.
    QStringList values;
    SearchField field = SearchField::AllFields;  // Search
    QString term;                                // Search
    QString selector;  // Search: the ID of the record to show; empty: the first match
};

ContactRequest parseContactRequest(QStringView text);

}  // namespace ringwise
