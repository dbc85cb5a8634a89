// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "call/block_entry.h"
#include "call/seams.h"

namespace ringwise {

class Database;

// What the block list reads of the settings, at each use.
struct BlockListSettings {
    ReadText countryCode;                 // ServerCountryCode, for numbers written with it
    std::function<bool()> blockWithheld;  // BlockWithheld
};

// The block list and its rules, for every place that shows or changes it (the client
// requests, the desktop, the web page) and for the call logger. An entry is a number, or a
// prefix ending in "*" that blocks every number it begins; it is kept in the form the call
// log uses, so "+45 22 33 44 55" and "22334455" are one entry. With BlockWithheld set,
// calls whose number the line did not send are blocked too, under the entry "Secret
// number". The methods that touch the database throw DatabaseError.
class BlockList {
public:
    // The longest number or prefix an entry holds, in digits.
    static constexpr int kMaxDigits = 32;

    // An entry in its stored form, or why the text cannot be one.
    struct Parsed {
        QString entry;
        QString problem;  // empty when entry holds the entry
    };
    static Parsed parseEntry(const QString &text, const QString &countryCode);
    // Why the note cannot be stored; empty when it can. Clients split answers at ";" and
    // ",", a message starts with a word and ":", and control characters would reach their
    // terminals.
    static QString noteProblem(const QString &note);
    // Of the entries, the one that blocks the number: the number itself before the longest
    // prefix; empty when none does.
    static QString blockingEntry(const QStringList &entries, const QString &number);

    BlockList(Database &database, Clock now, BlockListSettings settings);

    // The entry that blocks a call from this number (kSecretNumber for a withheld one);
    // empty when the call is not blocked.
    QString entryBlocking(const QString &number) const;
    // Adds the entry with its note; returns the stored entry, or the problem.
    Parsed add(const QString &text, const QString &note);
    // Removes the entry; returns the stored entry, or the problem. The calls it blocked stay
    // marked as blocked.
    Parsed remove(const QString &text);
    // Every entry in the order of the numbers, BlockWithheld's first while it is set.
    std::vector<BlockEntry> entries() const;

private:
    Database &m_database;
    Clock m_now;
    BlockListSettings m_settings;
};

}  // namespace ringwise
