// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/book_merge.h"

#include <algorithm>
#include <optional>

#include "call/phone_number.h"

namespace ringwise {

namespace {

std::optional<PhoneField> fieldOf(PhoneKind kind) {
    switch (kind) {
        case PhoneKind::Home:
            return HomeField;
        case PhoneKind::Mobile:
            return MobileField;
        case PhoneKind::Work:
            return WorkField;
        case PhoneKind::Fax:
            return FaxField;
        case PhoneKind::Other:
            break;
    }
    return std::nullopt;
}

QString cardLabel(const ContactCard &card) {
    return card.name.isEmpty() ? QStringLiteral("line %1").arg(card.line)
                               : QStringLiteral("line %1 \"%2\"").arg(card.line).arg(card.name);
}

// A number the book holds as digits is in the line's form already: normalising it again
// could change it ("0045102032", which "+45 0045 10 20 32" became, would lose its "0045").
// Only one typed in another form ("22 33 44 55") is normalised.
QString storedNumber(const QString &phone, const QString &countryCode) {
    const bool digitsOnly =
        std::all_of(phone.cbegin(), phone.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return digitsOnly ? phone : nationalNumber(phone, countryCode);
}

bool isUnrecognized(const BookContact &contact) {
    return !contact.unrecognized.isEmpty();
}

}  // namespace

BookMerge::BookMerge(std::vector<BookContact> book, QString countryCode, bool replace)
    : m_book(std::move(book)), m_countryCode(std::move(countryCode)), m_replace(replace) {
    for (std::size_t at = 0; at < m_book.size(); ++at)
        index(at);
}

void BookMerge::index(std::size_t at) {
    const BookContact &contact = m_book[at];
    if (isUnrecognized(contact)) {
        m_unrecognized.insert(storedNumber(contact.unrecognized, m_countryCode), at);
        return;
    }
    for (const QString &phone : contact.phones) {
        const QString digits = storedNumber(phone, m_countryCode);
        if (!digits.isEmpty() && !m_named.contains(digits, at))
            m_named.insert(digits, at);
    }
}

std::vector<BookMerge::Number> BookMerge::numbersOf(const ContactCard &card) const {
    std::vector<Number> numbers;
    for (const CardPhone &phone : card.phones) {
        const QString digits = nationalNumber(phone.number, m_countryCode);
        const bool known = std::any_of(numbers.cbegin(), numbers.cend(),
                                       [&digits](const Number &n) { return n.digits == digits; });
        if (!digits.isEmpty() && !known)
            numbers.push_back({digits, phone.kind});
    }
    return numbers;
}

std::vector<std::size_t> BookMerge::holders(const QMultiHash<QString, std::size_t> &index,
                                            const std::vector<Number> &numbers) const {
    std::set<std::size_t> found;
    for (const Number &number : numbers)
        for (const std::size_t at : index.values(number.digits))
            found.insert(at);
    return {found.cbegin(), found.cend()};
}

void BookMerge::placeNumbers(BookContact &contact, const std::vector<Number> &numbers,
                             const QString &label) {
    // The numbers a contact holds are kept in the form the line reports.
    for (QString &phone : contact.phones) {
        const QString digits = storedNumber(phone, m_countryCode);
        if (!digits.isEmpty())
            phone = digits;
    }
    std::vector<const Number *> unplaced;
    for (const Number &number : numbers) {
        if (std::find(contact.phones.cbegin(), contact.phones.cend(), number.digits) !=
            contact.phones.cend())
            continue;
        const std::optional<PhoneField> field = fieldOf(number.kind);
        if (field && contact.phones[*field].isEmpty())
            contact.phones[*field] = number.digits;
        else
            unplaced.push_back(&number);
    }
    for (const Number *number : unplaced) {
        const auto empty = std::find(contact.phones.begin(), contact.phones.end(), QString());
        if (empty != contact.phones.end())
            *empty = number->digits;
        else
            m_summary.notes << QStringLiteral("%1: %2 left out, the four phone fields are full")
                                   .arg(label, number->digits);
    }
}

void BookMerge::settle(QString &field, const QString &value, const char *what,
                       const QString &label) {
    if (value.isEmpty() || field.simplified() == value)
        return;
    if (!field.trimmed().isEmpty()) {
        m_summary.notes << QStringLiteral("%1: the book's %2 is \"%3\"; %4")
                               .arg(
                                   label, QLatin1String(what), field.simplified(),
                                   m_replace ? QStringLiteral("replaced") : QStringLiteral("kept"));
        if (!m_replace)
            return;
    }
    field = value;
}

void BookMerge::merge(const ContactCard &card) {
    const QString label = cardLabel(card);
    const std::vector<Number> numbers = numbersOf(card);
    const auto refuse = [this, &label](const QString &why) {
        ++m_summary.refused;
        m_summary.notes << QStringLiteral("%1: refused, %2").arg(label, why);
    };
    if (card.name.isEmpty())
        return refuse(QStringLiteral("no name"));
    if (numbers.empty())
        return refuse(QStringLiteral("no phone number"));
    const std::vector<std::size_t> named = holders(m_named, numbers);
    if (named.size() > 1) {
        QStringList names;
        for (const std::size_t at : named)
            names << QStringLiteral("\"%1\"").arg(m_book[at].name.trimmed());
        return refuse(QStringLiteral("its numbers belong to %1 contacts: %2")
                          .arg(named.size())
                          .arg(names.join(QStringLiteral(", "))));
    }
    std::vector<std::size_t> unrecognized = holders(m_unrecognized, numbers);

    std::size_t target = m_book.size();
    if (!named.empty()) {
        target = named.front();
    } else if (!unrecognized.empty()) {
        target = unrecognized.front();
        unrecognized.erase(unrecognized.begin());
    } else {
        m_book.emplace_back();
    }
    BookContact contact = m_book[target];
    if (isUnrecognized(contact)) {
        // The name the directory may have given an unknown caller gives way to the user's.
        m_unrecognized.remove(storedNumber(contact.unrecognized, m_countryCode), target);
        contact.unrecognized.clear();
        contact.name = card.name;
    } else {
        settle(contact.name, card.name, "name", label);
    }
    settle(contact.email, card.email, "e-mail", label);
    placeNumbers(contact, numbers, label);

    for (const std::size_t from : unrecognized) {
        m_unrecognized.remove(storedNumber(m_book[from].unrecognized, m_countryCode), from);
        m_folds.emplace_back(from, target);
    }
    const bool added = m_book[target].id == 0 && !m_changed.count(target);
    if (added)
        ++m_summary.added;
    else if (contact != m_book[target] || !unrecognized.empty())
        ++m_summary.updated;
    else
        ++m_summary.unchanged;
    if (contact != m_book[target] || added) {
        m_book[target] = contact;
        m_changed.insert(target);
        index(target);
    }
}

}  // namespace ringwise
