// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <set>
#include <vector>

#include "book/book_contact.h"
#include "book/contact_card.h"
#include "book/import_summary.h"

namespace ringwise {

// Merges a file's contacts into the book, in memory: a contact is known by its numbers,
// normalised as the line reports them (nationalNumber with the country code), never
// duplicated. A card whose number a contact of the book has updates that contact: its
// empty fields are filled, a differing name or e-mail is reported and replaced only with
// replace. A card whose number so far belonged to unrecognised callers turns the first
// such contact into the named one (its calls stay with it) and folds the others into it.
// Any other card is a new contact. Each number goes to the field of its kind, or else to
// the first empty one; one that does not fit is reported. Pure: the caller stores changed()
// and folds().
class BookMerge {
public:
    BookMerge(std::vector<BookContact> book, QString countryCode, bool replace);

    void merge(const ContactCard &card);

    const std::vector<BookContact> &book() const { return m_book; }
    // The contacts to store, by index into book(): new ones have no id yet.
    const std::set<std::size_t> &changed() const { return m_changed; }
    // An unrecognised caller's contact (first) whose calls go to a named one (second).
    const std::vector<std::pair<std::size_t, std::size_t>> &folds() const { return m_folds; }
    ImportSummary &summary() { return m_summary; }

private:
    struct Number {
        QString digits;
        PhoneKind kind;
    };
    std::vector<Number> numbersOf(const ContactCard &card) const;
    std::vector<std::size_t> holders(const QMultiHash<QString, std::size_t> &index,
                                     const std::vector<Number> &numbers) const;
    void placeNumbers(BookContact &contact, const std::vector<Number> &numbers,
                      const QString &label);
    // Fills an empty field; a differing one is reported, and replaced only with replace.
    void settle(QString &field, const QString &value, const char *what, const QString &label);
    void index(std::size_t at);

    std::vector<BookContact> m_book;
    QString m_countryCode;
    bool m_replace;
    // Named contacts by each of their numbers; unrecognised callers' contacts by theirs.
    QMultiHash<QString, std::size_t> m_named;
    QMultiHash<QString, std::size_t> m_unrecognized;
    std::set<std::size_t> m_changed;
    std::vector<std::pair<std::size_t, std::size_t>> m_folds;
    ImportSummary m_summary;
};

}  // namespace ringwise
