// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/csv_reader.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <map>
#include <optional>
#include <utility>

#include "book/file_text.h"

namespace ringwise {

namespace {

enum class Column { Name, Given, Middle, Family, Email, Home, Mobile, Work, Fax, Phone };

// Header names with everything but letters and digits dropped, in lower case.
const QHash<QString, Column> &knownColumns() {
    static const QHash<QString, Column> columns = [] {
        QHash<QString, Column> table;
        const auto add = [&table](Column column, std::initializer_list<const char *> names) {
            for (const char *name : names)
                table.insert(QString::fromUtf8(name), column);
        };
        add(Column::Name, {"name", "fullname", "displayname", "navn", "fuldtnavn"});
        add(Column::Given, {"firstname", "givenname", "fornavn"});
        add(Column::Middle, {"middlename", "additionalname", "mellemnavn"});
        add(Column::Family, {"lastname", "familyname", "surname", "efternavn"});
        add(Column::Email,
            {"email", "emailaddress", "email1value", "primaryemail", "mail", "emailadresse"});
        add(Column::Home, {"homephone", "homephone2", "home", "privat", "telefonprivat", "hjem"});
        add(Column::Mobile, {"mobilephone", "mobilenumber", "mobile", "cell", "cellphone", "mobil",
                             "mobiltelefon"});
        add(Column::Work,
            {"businessphone", "businessphone2", "workphone", "work", "arbejde", "telefonarbejde"});
        add(Column::Fax,
            {"businessfax", "homefax", "workfax", "otherfax", "faxnumber", "fax", "faxarbejde"});
        add(Column::Phone, {"phone", "telephone", "otherphone", "primaryphone", "telefon", "tlf"});
        return table;
    }();
    return columns;
}

QString headerKey(const QString &header) {
    QString key;
    for (const QChar character : header)
        if (character.isLetterOrNumber())
            key += character.toLower();
    return key;
}

PhoneKind kindOfColumn(Column column) {
    switch (column) {
        case Column::Home:
            return PhoneKind::Home;
        case Column::Mobile:
            return PhoneKind::Mobile;
        case Column::Work:
            return PhoneKind::Work;
        case Column::Fax:
            return PhoneKind::Fax;
        default:
            return PhoneKind::Other;
    }
}

// A label as Google writes it: "Mobile", "Work Fax", "* Home", "Main".
PhoneKind kindOfLabel(const QString &label) {
    const QString text = label.toLower();
    if (text.contains(u"fax"))
        return PhoneKind::Fax;
    if (text.contains(u"mobil") || text.contains(u"cell"))
        return PhoneKind::Mobile;
    if (text.contains(u"work") || text.contains(u"arbejde"))
        return PhoneKind::Work;
    if (text.contains(u"home") || text.contains(u"privat"))
        return PhoneKind::Home;
    return PhoneKind::Other;
}

// Where the header puts each part of a contact.
struct Layout {
    std::map<int, Column> columns;
    // Google's numbered pairs: the label's column (or -1) and the value's, by pair number.
    std::map<int, std::pair<int, int>> labelledPhones;

    bool hasName() const {
        for (const auto &[index, column] : columns)
            if (column == Column::Name || column == Column::Given || column == Column::Family)
                return true;
        return false;
    }
    bool hasPhone() const {
        for (const auto &[index, column] : columns)
            if (column >= Column::Home)
                return true;
        return !labelledPhones.empty();
    }
};

Layout layoutOf(const QStringList &header) {
    static const QRegularExpression pair(QStringLiteral("^phone(\\d+)(type|label|value)$"));
    Layout layout;
    for (int index = 0; index < header.size(); ++index) {
        const QString key = headerKey(header[index]);
        const QRegularExpressionMatch match = pair.match(key);
        if (match.hasMatch()) {
            auto &columns =
                layout.labelledPhones.try_emplace(match.captured(1).toInt(), -1, -1).first->second;
            (match.captured(2) == u"value" ? columns.second : columns.first) = index;
        } else if (const auto known = knownColumns().constFind(key);
                   known != knownColumns().cend()) {
            layout.columns.emplace(index, *known);
        }
    }
    return layout;
}

QChar separatorOf(const QString &text) {
    int counts[3] = {};
    const QChar candidates[3] = {u',', u';', u'\t'};
    bool quoted = false;
    for (const QChar character : text) {
        if (character == u'"')
            quoted = !quoted;
        else if (!quoted && character == u'\n')
            break;
        for (int i = 0; i < 3; ++i)
            counts[i] += !quoted && character == candidates[i];
    }
    const int most = int(std::max_element(counts, counts + 3) - counts);
    return candidates[most];
}

struct Row {
    int line = 0;
    QStringList fields;
};

// The rows of the text, each with the line it starts on; none when a quoted field is
// left open (failedLine then names where it starts).
std::optional<std::vector<Row>> rowsOf(const QString &text, QChar separator, int &failedLine) {
    std::vector<Row> rows;
    Row row{1, {QString()}};
    int line = 1;
    int quoteLine = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar character = text[i];
        if (character == u'\n')
            ++line;
        if (quoted) {
            if (character != u'"')
                row.fields.back() += character;
            else if (i + 1 < text.size() && text[i + 1] == u'"')
                row.fields.back() += text[++i];
            else
                quoted = false;
        } else if (character == u'"') {
            quoted = true;
            quoteLine = line;
        } else if (character == separator) {
            row.fields << QString();
        } else if (character == u'\n') {
            if (row.fields.back().endsWith(u'\r'))
                row.fields.back().chop(1);
            rows.push_back(std::exchange(row, Row{line, {QString()}}));
        } else {
            row.fields.back() += character;
        }
    }
    if (quoted) {
        failedLine = quoteLine;
        return std::nullopt;
    }
    rows.push_back(row);
    return rows;
}

void addNumbers(ContactCard &card, PhoneKind kind, const QString &cell) {
    for (const QString &number : cell.split(QStringLiteral(":::"))) {
        if (!number.trimmed().isEmpty())
            card.phones.push_back({kind, number.trimmed()});
    }
}

ContactCard cardOf(const Row &row, const Layout &layout) {
    ContactCard card;
    card.line = row.line;
    QStringList nameParts[3];
    for (const auto &[index, column] : layout.columns) {
        const QString value = cleanText(row.fields.value(index));
        if (value.isEmpty())
            continue;
        switch (column) {
            case Column::Name:
                if (card.name.isEmpty())
                    card.name = value;
                break;
            case Column::Given:
            case Column::Middle:
            case Column::Family:
                nameParts[int(column) - int(Column::Given)] << value;
                break;
            case Column::Email:
                if (card.email.isEmpty())
                    card.email = value;
                break;
            default:
                addNumbers(card, kindOfColumn(column), value);
        }
    }
    for (const auto &[pairNumber, columns] : layout.labelledPhones)
        addNumbers(card, kindOfLabel(row.fields.value(columns.first)),
                   row.fields.value(columns.second));
    if (card.name.isEmpty())
        card.name = (nameParts[0] + nameParts[1] + nameParts[2]).join(u' ');
    return card;
}

bool isBlank(const Row &row) {
    for (const QString &field : row.fields)
        if (!field.trimmed().isEmpty())
            return false;
    return true;
}

}  // namespace

CardFile readCsv(const QByteArray &bytes) {
    const QString text = decodeFileText(bytes);
    CardFile file;
    int failedLine = 0;
    const std::optional<std::vector<Row>> rows = rowsOf(text, separatorOf(text), failedLine);
    if (!rows) {
        file.failure =
            QStringLiteral("line %1: a quoted field has no closing quote").arg(failedLine);
        return file;
    }
    const Layout layout = layoutOf(rows->front().fields);
    if (!layout.hasName() || !layout.hasPhone()) {
        file.failure =
            QStringLiteral("line 1: the header names no %1 column")
                .arg(layout.hasName() ? QStringLiteral("phone") : QStringLiteral("name"));
        return file;
    }
    for (auto row = rows->cbegin() + 1; row != rows->cend(); ++row)
        if (!isBlank(*row))
            file.cards.push_back(cardOf(*row, layout));
    return file;
}

}  // namespace ringwise
