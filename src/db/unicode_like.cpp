// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/unicode_like.h"

#include <SQLiteCpp/Database.h>
#include <sqlite3.h>

#include <QChar>
#include <QString>
#include <cstring>

namespace ringwise {

namespace {

constexpr char32_t kNoEscape = 0xffffffff;

// Reads one character of UTF-8 and steps past it; stray bytes are taken as they are,
// as SQLite's own LIKE does.
char32_t nextCharacter(const unsigned char *&text) {
    char32_t c = *text++;
    if (c < 0xc0)
        return c;
    const int extra = c >= 0xf0 ? 3 : c >= 0xe0 ? 2 : 1;
    c &= 0x3f >> extra;
    for (int i = 0; i < extra && (*text & 0xc0) == 0x80; ++i)
        c = (c << 6) | (*text++ & 0x3f);
    return c;
}

void skipCharacter(const unsigned char *&text) {
    ++text;
    while ((*text & 0xc0) == 0x80)
        ++text;
}

unsigned char foldedAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

// A character outside ASCII never folds into ASCII (the Kelvin sign stays apart from
// "k", as in SQLite's LIKE), which lets an ASCII letter be looked for byte by byte.
char32_t folded(char32_t c) {
    if (c < 0x80)
        return foldedAscii(c);
    const char32_t f = QChar::toCaseFolded(c);
    return f < 0x80 ? c : f;
}

// The bytes that can start a match of the pattern from here, both cases of an ASCII
// character as a string for strcspn(), or empty when it is a wildcard, an escape or not
// ASCII.
struct Start {
    char bytes[3] = {};
};

Start startOf(const unsigned char *pattern, char32_t escape) {
    Start start;
    const unsigned char c = *pattern;
    if (c == 0 || c >= 0x80 || c == '%' || c == '_' || c == escape)
        return start;
    start.bytes[0] = char(c);
    const unsigned char other = c >= 'a' && c <= 'z'   ? c - ('a' - 'A')
                                : c >= 'A' && c <= 'Z' ? c + ('a' - 'A')
                                                       : 0;
    start.bytes[1] = char(other);
    return start;
}

// The usual wildcard walk: on a mismatch, go back to the last "%" and let it take one
// more character. Backtracking to that "%" alone is enough, because a later "%" can
// absorb anything an earlier one could.
bool matches(const unsigned char *pattern, const unsigned char *text, char32_t escape) {
    const unsigned char *afterPercent = nullptr;
    const unsigned char *textAtPercent = nullptr;
    Start startAfterPercent;
    while (*text) {
        if (*pattern) {
            const unsigned char *next = pattern;
            char32_t p = nextCharacter(next);
            const bool escaped = p == escape && *next;
            if (escaped)
                p = nextCharacter(next);
            if (!escaped && p == '%') {
                pattern = next;
                afterPercent = pattern;
                textAtPercent = text;
                startAfterPercent = startOf(pattern, escape);
                continue;
            }
            if (!escaped && p == '_') {
                pattern = next;
                skipCharacter(text);
                continue;
            }
            const unsigned char *textNext = text;
            if (folded(p) == folded(nextCharacter(textNext))) {
                pattern = next;
                text = textNext;
                continue;
            }
        }
        if (!afterPercent)
            return false;
        skipCharacter(textAtPercent);
        // The usual search, "%name%": go straight to the next place the name can start.
        if (startAfterPercent.bytes[0])
            textAtPercent += std::strcspn(reinterpret_cast<const char *>(textAtPercent),
                                          startAfterPercent.bytes);
        text = textAtPercent;
        pattern = afterPercent;
    }
    while (*pattern == '%' && escape != '%')
        ++pattern;
    return *pattern == 0;
}

void likeFunction(sqlite3_context *context, int argumentCount, sqlite3_value **arguments) {
    const int patternBytes = sqlite3_value_bytes(arguments[0]);
    if (patternBytes >
        sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
        sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    const auto *pattern = sqlite3_value_text(arguments[0]);
    const auto *text = sqlite3_value_text(arguments[1]);
    if (!pattern || !text)
        return;
    char32_t escape = kNoEscape;
    if (argumentCount == 3) {
        const auto *escapeText = sqlite3_value_text(arguments[2]);
        if (!escapeText)
            return;
        const unsigned char *rest = escapeText;
        escape = nextCharacter(rest);
        if (escapeText[0] == 0 || *rest != 0) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    sqlite3_result_int(context, matches(pattern, text, escape) ? 1 : 0);
}

}  // namespace

void registerUnicodeLike(SQLite::Database &connection) {
    for (const int argumentCount : {2, 3})
        connection.createFunction("like", argumentCount, true, nullptr, likeFunction);
}

}  // namespace ringwise
