// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/danish_collation.h"

#include <sqlite3.h>

#include <QCollator>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "db/database_error.h"

namespace ringwise {

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kLastPrintable = 0x7e;

// Names are nearly all plain ASCII, and the sorts run the comparison a million times
// for a big book. For printable ASCII without the Danish "aa" (a letter of its own),
// ICU's order with case ignored is the order of each character's primary weight
// (there are no accents for the second level to weigh), so such pairs are compared
// from a table of ranks that the collator itself sorted. The table is sorted at the first
// comparison: ICU's collation costs 2 MB of memory, which the server does without until a
// client asks for names in order.
class DanishCollation {
public:
    DanishCollation() : m_collator(QLocale(QLocale::Danish, QLocale::Denmark)) {
        m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    }

    int compare(const char *a, int aLength, const char *b, int bLength) {
        if (m_rankOfA == kNotPlain)
            rankPrintableAscii();
        int result = 0;
        if (compareAscii(reinterpret_cast<const unsigned char *>(a), aLength,
                         reinterpret_cast<const unsigned char *>(b), bLength, result))
            return result;
        return m_collator.compare(QString::fromUtf8(a, aLength), QString::fromUtf8(b, bLength));
    }

private:
    // The rank of every byte that is not printable ASCII: it may start a letter outside
    // ASCII or a combining mark, which only ICU can weigh.
    static constexpr std::uint8_t kNotPlain = 0;

    void rankPrintableAscii() {
        std::array<char16_t, kLastPrintable - kFirstPrintable + 1> characters{};
        for (std::size_t i = 0; i < characters.size(); ++i)
            characters[i] = char16_t(kFirstPrintable + i);
        auto compareCharacters = [this](char16_t a, char16_t b) {
            return m_collator.compare(QStringView(&a, 1), QStringView(&b, 1));
        };
        std::sort(characters.begin(), characters.end(),
                  [&](char16_t a, char16_t b) { return compareCharacters(a, b) < 0; });
        std::uint8_t rank = kNotPlain;
        for (std::size_t i = 0; i < characters.size(); ++i) {
            if (i == 0 || compareCharacters(characters[i - 1], characters[i]) != 0)
                ++rank;
            m_rank[characters[i]] = rank;
        }
        m_rankOfA = m_rank['a'];
    }

    // True when the character after `rank` at i weighs on its own: the end of the text, or
    // printable ASCII that does not make an "aa" with it.
    bool endsPlainly(const unsigned char *text, int length, int i, std::uint8_t rank) const {
        if (i + 1 == length)
            return true;
        const std::uint8_t next = m_rank[text[i + 1]];
        return next != kNotPlain && !(rank == m_rankOfA && next == m_rankOfA);
    }

    // Compares by primary weight as far as the order is decided by plain ASCII, the usual
    // case: names mostly differ within their first characters. False leaves the pair to ICU.
    // Equal ranks up to i mean the two texts hold the same "a"s there, so one flag follows
    // an "a" for both.
    bool compareAscii(const unsigned char *a, int aLength, const unsigned char *b, int bLength,
                      int &result) const {
        const int common = std::min(aLength, bLength);
        bool afterA = false;
        for (int i = 0; i < common; ++i) {
            const std::uint8_t aRank = m_rank[a[i]];
            const std::uint8_t bRank = m_rank[b[i]];
            if (aRank == kNotPlain || bRank == kNotPlain)
                return false;
            if (afterA && (aRank == m_rankOfA || bRank == m_rankOfA))
                return false;
            if (aRank != bRank) {
                if (!endsPlainly(a, aLength, i, aRank) || !endsPlainly(b, bLength, i, bRank))
                    return false;
                result = int(aRank) - int(bRank);
                return true;
            }
            afterA = aRank == m_rankOfA;
        }
        // One is a prefix of the other by weight: the rest decides, if it weighs at all.
        const unsigned char *rest = aLength > bLength ? a : b;
        const int restLength = std::max(aLength, bLength);
        for (int i = common; i < restLength; ++i) {
            const std::uint8_t rank = m_rank[rest[i]];
            if (rank == kNotPlain || (afterA && rank == m_rankOfA))
                return false;
            afterA = rank == m_rankOfA;
        }
        result = aLength - bLength;
        return true;
    }

    QCollator m_collator;
    std::array<std::uint8_t, 256> m_rank{};  // kNotPlain unless set
    std::uint8_t m_rankOfA = kNotPlain;      // until the table is sorted
};

int compareDanish(void *collation, int aLength, const void *a, int bLength, const void *b) {
    return static_cast<DanishCollation *>(collation)->compare(
        static_cast<const char *>(a), aLength, static_cast<const char *>(b), bLength);
}

void destroyDanish(void *collation) {
    delete static_cast<DanishCollation *>(collation);
}

}  // namespace

void registerDanishCollation(sqlite3 *handle) {
    // Once registered, SQLite owns the collation and destroys it with the connection;
    // a failed registration leaves it to us.
    auto collation = std::make_unique<DanishCollation>();
    const int result = sqlite3_create_collation_v2(handle, "Danish", SQLITE_UTF8, collation.get(),
                                                   compareDanish, destroyDanish);
    if (result != SQLITE_OK)
        throw DatabaseError(result, QString::fromUtf8(sqlite3_errstr(result)));
    collation.release();
}

}  // namespace ringwise
