// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/call_record.h"

namespace ringwise {

CallFields::CallFields() {
    m_values.fill(QStringLiteral("0"));
    (*this)[CallField::Number].clear();
}

QString CallFields::caption(CallField field) {
    switch (field) {
        case CallField::CallType:
            return QStringLiteral("Call type");
        case CallField::Number:
            return QStringLiteral("Last call number");
        case CallField::Rings:
            return QStringLiteral("Number of rings");
        case CallField::CallTime:
            return QStringLiteral("Time of call");
        case CallField::Name:
            return QStringLiteral("Name");
        case CallField::HomePhone:
            return QStringLiteral("Home phone");
        case CallField::MobilePhone:
            return QStringLiteral("Mobile phone");
        case CallField::WorkPhone:
            return QStringLiteral("Work");
        case CallField::WorkFax:
            return QStringLiteral("Work / Fax");
        case CallField::Email:
            return QStringLiteral("E-Mail");
        case CallField::ContactId:
            return QStringLiteral("tblContactID");
        case CallField::CallId:
            return QStringLiteral("tblCallsID");
    }
    return QString();
}

void CallRecord::set(CallField field, const QString &value) {
    if (m_fields[field] == value)
        return;
    m_fields[field] = value;
    emit fieldChanged(field, value);
}

void CallRecord::ResetCallDisplay() {
    ++m_serial;
    const CallFields reset;
    for (int i = 1; i <= kCallFieldCount; ++i)
        set(static_cast<CallField>(i), reset[static_cast<CallField>(i)]);
}

}  // namespace ringwise
