// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <array>

namespace ringwise {

// The twelve fields of the current call, numbered as the last-call panel shows them.
enum class CallField {
    CallType = 1,
    Number,
    Rings,
    CallTime,
    Name,
    HomePhone,
    MobilePhone,
    WorkPhone,
    WorkFax,
    Email,
    ContactId,
    CallId,
};
constexpr int kCallFieldCount = 12;

// The number of a call whose caller withheld it.
inline const QString kSecretNumber = QStringLiteral("Secret number");

// The field values of one call, as texts.
class CallFields {
public:
    CallFields();  // the reset state: every field "0", the number empty

    const QString &operator[](CallField field) const { return m_values[index(field)]; }
    QString &operator[](CallField field) { return m_values[index(field)]; }
    bool operator==(const CallFields &other) const { return m_values == other.m_values; }

    static QString caption(CallField field);

private:
    static int index(CallField field) { return static_cast<int>(field) - 1; }
    std::array<QString, kCallFieldCount> m_values;
};

// The current call: one instance, overwritten by every call, announced on every change.
class CallRecord : public QObject {
    Q_OBJECT
public:
    explicit CallRecord(QObject *parent = nullptr) : QObject(parent) {}

    const CallFields &fields() const { return m_fields; }
    QString value(CallField field) const { return m_fields[field]; }
    void set(CallField field, const QString &value);
    void ResetCallDisplay();
    // Raised by every reset, so a late directory result can tell whether the record
    // still shows the call it was started for.
    quint64 serial() const { return m_serial; }

signals:
    void fieldChanged(ringwise::CallField field, const QString &value);

private:
    CallFields m_fields;
    quint64 m_serial = 0;
};

}  // namespace ringwise
