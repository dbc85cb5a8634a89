// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/page_text.h"

#include <array>
#include <optional>

namespace ringwise {

namespace {

// The named references of U+00A0 to U+00FF, in code point order.
constexpr std::array<const char *, 96> kLatin1Names = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};
constexpr char32_t kFirstLatin1Named = 0xA0;
constexpr char32_t kNoBreakSpace = 0xA0;
// Longer than any name above and any numeric reference to a valid code point.
constexpr qsizetype kLongestReference = 10;

// The length of the well-formed UTF-8 sequence of two or more bytes at `at`, or 1.
qsizetype utf8SequenceLength(const QByteArray &bytes, qsizetype at) {
    const auto byteAt = [&](qsizetype i) { return i < bytes.size() ? uchar(bytes.at(i)) : 0; };
    const uchar lead = byteAt(at);
    qsizetype length = 0;
    uchar low = 0x80;
    uchar high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;    // no overlong forms
        high = lead == 0xED ? 0x9F : high;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;  // nothing above U+10FFFF
    } else {
        return 1;
    }
    if (byteAt(at + 1) < low || byteAt(at + 1) > high)
        return 1;
    for (qsizetype k = 2; k < length; ++k) {
        if (byteAt(at + k) < 0x80 || byteAt(at + k) > 0xBF)
            return 1;
    }
    return length;
}

std::optional<char32_t> numericReference(QStringView digits) {
    int base = 10;
    if (digits.startsWith(QLatin1Char('x')) || digits.startsWith(QLatin1Char('X'))) {
        base = 16;
        digits = digits.mid(1);
    }
    if (digits.isEmpty())
        return std::nullopt;
    for (QChar digit : digits) {
        if (!(digit.isDigit() || (base == 16 && QStringLiteral("abcdefABCDEF").contains(digit))))
            return std::nullopt;
    }
    bool ok = false;
    const uint value = digits.toUInt(&ok, base);
    if (!ok || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    return value;
}

std::optional<char32_t> referenceValue(QStringView body) {
    if (body.startsWith(QLatin1Char('#')))
        return numericReference(body.mid(1));
    static const std::array<std::pair<const char *, char32_t>, 5> markup = {
        {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};
    for (const auto &[name, value] : markup) {
        if (body == QLatin1String(name))
            return value;
    }
    for (std::size_t i = 0; i < kLatin1Names.size(); ++i) {
        if (body == QLatin1String(kLatin1Names[i]))
            return kFirstLatin1Named + char32_t(i);
    }
    return std::nullopt;
}

}  // namespace

QString decodePageText(const QByteArray &bytes) {
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype length = utf8SequenceLength(bytes, at);
        if (length > 1)
            text += QString::fromUtf8(bytes.constData() + at, length);
        else
            text += QChar(uchar(bytes.at(at)));
        at += length;
    }
    return text;
}

QString decodeCharacterReferences(const QString &text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype at = 0; at < text.size();) {
        if (text.at(at) == QLatin1Char('&')) {
            const QStringView rest = QStringView(text).mid(at + 1, kLongestReference + 1);
            const qsizetype end = rest.indexOf(QLatin1Char(';'));
            const std::optional<char32_t> value =
                end > 0 ? referenceValue(rest.left(end)) : std::nullopt;
            if (value) {
                const char32_t character = *value == kNoBreakSpace ? U' ' : *value;
                result += QString::fromUcs4(&character, 1);
                at += end + 2;
                continue;
            }
        }
        result += text.at(at);
        ++at;
    }
    return result;
}

}  // namespace ringwise
