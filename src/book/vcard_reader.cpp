// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/vcard_reader.h"

#include <QList>
#include <QStringList>
#include <optional>

#include "book/file_text.h"

namespace ringwise {

namespace {

const QByteArray kUtf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");

struct LogicalLine {
    int number = 0;
    QByteArray text;
};

bool isQuotedPrintable(const QByteArray &line) {
    const qsizetype colon = line.indexOf(':');
    return line.left(colon).toUpper().contains("QUOTED-PRINTABLE");
}

// Folded lines (a line that starts with a blank continues the one before) and the soft
// line breaks of quoted-printable values (a value line that ends with "=") joined.
std::vector<LogicalLine> logicalLines(const QByteArray &bytes) {
    std::vector<LogicalLine> lines;
    bool softBreak = false;
    int number = 0;
    for (QByteArray line : bytes.split('\n')) {
        ++number;
        if (line.endsWith('\r'))
            line.chop(1);
        if (softBreak) {
            lines.back().text += line;
        } else if (!lines.empty() && (line.startsWith(' ') || line.startsWith('\t'))) {
            lines.back().text += line.mid(1);
        } else {
            lines.push_back({number, line});
        }
        QByteArray &text = lines.back().text;
        softBreak = text.endsWith('=') && isQuotedPrintable(text);
        if (softBreak)
            text.chop(1);
    }
    return lines;
}

// The position of the first separator outside double quotes, or -1.
qsizetype unquotedIndex(const QByteArray &text, char separator, qsizetype from = 0) {
    bool quoted = false;
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == separator && !quoted)
            return i;
    }
    return -1;
}

struct Property {
    QByteArray name;    // upper case, without its group
    QStringList types;  // lower case
    QString charset;
    bool quotedPrintable = false;
    QByteArray value;
};

std::optional<Property> parseProperty(const QByteArray &line) {
    const qsizetype colon = unquotedIndex(line, ':');
    if (colon < 0)
        return std::nullopt;
    Property property;
    property.value = line.mid(colon + 1);
    const QByteArray head = line.left(colon);
    QList<QByteArray> parts;
    for (qsizetype start = 0;;) {
        const qsizetype end = unquotedIndex(head, ';', start);
        parts << head.mid(start, end < 0 ? -1 : end - start);
        if (end < 0)
            break;
        start = end + 1;
    }
    property.name = parts.takeFirst().trimmed().toUpper();
    property.name = property.name.mid(property.name.lastIndexOf('.') + 1);
    for (const QByteArray &parameter : parts) {
        const qsizetype equals = parameter.indexOf('=');
        const QByteArray key =
            equals < 0 ? QByteArray() : parameter.left(equals).trimmed().toUpper();
        const QString value = QString::fromLatin1(parameter.mid(equals + 1)).remove(u'"').trimmed();
        if (value.compare(u"QUOTED-PRINTABLE", Qt::CaseInsensitive) == 0)
            property.quotedPrintable = true;
        else if (key == "CHARSET")
            property.charset = value;
        else if (key.isEmpty() || key == "TYPE")
            property.types << value.toLower().split(u',', Qt::SkipEmptyParts);
    }
    return property;
}

int hexValue(char digit) {
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    return -1;
}

// "=XX" is the byte XX; an "=" not followed by two hex digits stays as it is.
QByteArray decodeQuotedPrintable(const QByteArray &text) {
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int high = text[i] == '=' && i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = high < 0 ? -1 : hexValue(text[i + 2]);
        if (low < 0) {
            bytes += text[i];
            continue;
        }
        bytes += char(high * 16 + low);
        i += 2;
    }
    return bytes;
}

QString propertyText(const Property &property) {
    return decodeCharset(
        property.quotedPrintable ? decodeQuotedPrintable(property.value) : property.value,
        property.charset);
}

// Splits at every separator (none when it is null) that no backslash escapes, and
// resolves the escapes:
// "\n" is a line break (a blank in a name), any other escaped character is itself.
QStringList unescapedParts(const QString &text, QChar separator) {
    QStringList parts(QString{});
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const QChar next = text[++i];
            parts.back() += next == u'n' || next == u'N' ? QChar(u' ') : next;
        } else if (!separator.isNull() && text[i] == separator) {
            parts << QString();
        } else {
            parts.back() += text[i];
        }
    }
    return parts;
}

// A text value with its escapes resolved, blanks collapsed.
QString unescaped(const QString &text) {
    return cleanText(unescapedParts(text, QChar()).join(QString()));
}

// N is family;given;additional;prefixes;suffixes; it is spoken prefixes, given,
// additional, family, suffixes.
QString nameFromParts(const QStringList &parts) {
    QStringList spoken;
    for (const int index : {3, 1, 2, 0, 4}) {
        const QString part = cleanText(parts.value(index).replace(u',', u' '));
        if (!part.isEmpty())
            spoken << part;
    }
    return spoken.join(u' ');
}

PhoneKind phoneKind(const QStringList &types) {
    if (types.contains(u"fax"))
        return PhoneKind::Fax;
    if (types.contains(u"cell") || types.contains(u"mobile") || types.contains(u"iphone"))
        return PhoneKind::Mobile;
    if (types.contains(u"work"))
        return PhoneKind::Work;
    if (types.contains(u"home"))
        return PhoneKind::Home;
    return PhoneKind::Other;
}

// A 4.0 number may be a URI, "tel:+45-22-33-44-55;ext=12": the number is what lies between.
QString phoneNumber(QString text) {
    if (text.startsWith(u"tel:", Qt::CaseInsensitive)) {
        text.remove(0, 4);
        text = text.section(u';', 0, 0);
    }
    return text.trimmed();
}

void addProperty(ContactCard &card, QString &structuredName, const Property &property) {
    if (property.name == "FN") {
        if (card.name.isEmpty())
            card.name = unescaped(propertyText(property));
    } else if (property.name == "N") {
        structuredName = nameFromParts(unescapedParts(propertyText(property), u';'));
    } else if (property.name == "EMAIL") {
        if (card.email.isEmpty())
            card.email = unescaped(propertyText(property));
    } else if (property.name == "TEL") {
        const QString number = phoneNumber(propertyText(property));
        if (!number.isEmpty())
            card.phones.push_back({phoneKind(property.types), number});
    }
}

bool isMarker(const std::optional<Property> &property, const char *name) {
    return property && property->name == name &&
           property->value.trimmed().compare("VCARD", Qt::CaseInsensitive) == 0;
}

}  // namespace

bool looksLikeVCard(const QByteArray &bytes) {
    QByteArray start = bytes.left(256);
    if (start.startsWith(kUtf8Mark))
        start.remove(0, kUtf8Mark.size());
    return start.trimmed().toUpper().startsWith("BEGIN:VCARD");
}

CardFile readVCards(const QByteArray &bytes) {
    CardFile file;
    std::optional<ContactCard> card;
    QString structuredName;
    const auto fail = [&file](int line, const QString &why) {
        file.cards.clear();
        file.failure = QStringLiteral("line %1: %2").arg(line).arg(why);
        return file;
    };
    QByteArray text = bytes;
    if (text.startsWith(kUtf8Mark))
        text.remove(0, kUtf8Mark.size());
    for (const LogicalLine &line : logicalLines(text)) {
        if (line.text.trimmed().isEmpty())
            continue;
        const std::optional<Property> property = parseProperty(line.text);
        if (isMarker(property, "BEGIN")) {
            if (card)
                return fail(card->line, QStringLiteral("the vCard has no END:VCARD"));
            card = ContactCard{line.number, {}, {}, {}};
            structuredName.clear();
        } else if (isMarker(property, "END")) {
            if (!card)
                return fail(line.number, QStringLiteral("END:VCARD without BEGIN:VCARD"));
            if (card->name.isEmpty())
                card->name = structuredName;
            file.cards.push_back(std::move(*card));
            card.reset();
        } else if (!card) {
            return fail(line.number, QStringLiteral("text outside a vCard"));
        } else if (!property) {
            return fail(line.number, QStringLiteral("not a vCard property (no colon)"));
        } else {
            addProperty(*card, structuredName, *property);
        }
    }
    if (card)
        return fail(card->line, QStringLiteral("the vCard has no END:VCARD"));
    return file;
}

}  // namespace ringwise
