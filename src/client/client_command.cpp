// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/client_command.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "call/safe_text.h"

namespace ringwise {

namespace {

const QString kSearchAnswer = QStringLiteral("CNTAC:SEAR;");
const QString kSaveAnswer = QStringLiteral("CNTAC:SAVE;");
const QString kErrorAnswer = QStringLiteral("CNTAC:ERRO;");
const QString kBlockAnswer = QStringLiteral("BLOCK:");
const QString kBlockError = QStringLiteral("BLOCK:ERRO;");
const QString kBlockAdded = QStringLiteral("BLOCK:ADD;");
const QString kBlockList = QStringLiteral("BLOCK:LIST;");
const QList<Column> kBlockColumns = {{"number", "Number"},
                                     {"note", "Note"},
                                     {"added", "Added"},
                                     {"calls", "Blocked calls"},
                                     {"last", "Last blocked"}};
const QStringList kSearchFields = {"ALLF", "NAME", "PHON", "MOBI", "EMAI", "BPHO", "BFAX"};
constexpr int kDefaultRows = 10;

const QList<Column> kCallColumns = {{"name", "Name"}, {"time", "Time"}, {"number", "Number"}};
const QList<Column> kContactColumns = {
    {"id", "ID"},         {"name", "Name"},   {"home", "Home"},
    {"mobile", "Mobile"}, {"work", "Work"},   {"fax", "Fax"},
    {"email", "Email"},   {"calls", "Calls"}, {"unrecognized", "Unrecognized"}};
// The shown record of a search answer, in its own order.
const QList<Column> kRecordColumns = {{"name", "Name"},   {"home", "Home"}, {"mobile", "Mobile"},
                                      {"email", "Email"}, {"work", "Work"}, {"fax", "Fax"},
                                      {"id", "ID"}};

bool isLatin1(const QString &text) {
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

std::optional<ClientCommand> statsCommand(const QString &view, const QStringList &arguments,
                                          QList<Column> columns, QString *error) {
    int rows = kDefaultRows;
    if (arguments.size() > 2) {
        *error = QStringLiteral("%1 takes at most one number").arg(arguments[0]);
        return std::nullopt;
    }
    if (arguments.size() == 2) {
        bool isNumber = false;
        rows = arguments[1].toInt(&isNumber);
        if (!isNumber || rows < 0 || rows > 32767) {
            *error = QStringLiteral("not a number of rows from 0 to 32767: %1").arg(arguments[1]);
            return std::nullopt;
        }
    }
    ClientCommand command;
    command.kind = ClientCommand::Kind::Stats;
    command.request = QStringLiteral("STATS:%1;%2").arg(view).arg(rows);
    command.columns = std::move(columns);
    return command;
}

std::optional<ClientCommand> searchCommand(const QStringList &arguments, QString *error) {
    if (arguments.size() != 3) {
        *error = QStringLiteral("search takes a field and a term");
        return std::nullopt;
    }
    const QString field = arguments[1].toUpper();
    if (!kSearchFields.contains(field)) {
        *error = QStringLiteral("the search field is one of %1").arg(kSearchFields.join(", "));
        return std::nullopt;
    }
    // ",@" would start a record selector.
    if (arguments[2].contains(QStringLiteral(",@"))) {
        *error = QStringLiteral("a search term cannot hold \",@\"");
        return std::nullopt;
    }
    ClientCommand command;
    command.kind = ClientCommand::Kind::Search;
    command.request = QStringLiteral("CNTAC:SEAR;%1;%2").arg(field, arguments[2]);
    return command;
}

std::optional<ClientCommand> saveCommand(const QStringList &arguments, QString *error) {
    if (arguments.size() != 8) {
        *error = QStringLiteral("save takes ID or new, then NAME HOME MOBILE EMAIL WORK FAX");
        return std::nullopt;
    }
    QString key = arguments[1];
    bool isNumber = false;
    key.toLongLong(&isNumber);
    if (key.compare(QStringLiteral("new"), Qt::CaseInsensitive) == 0)
        key = QStringLiteral("NEW");
    else if (!isNumber) {
        *error = QStringLiteral("save needs a contact ID or new, not %1").arg(key);
        return std::nullopt;
    }
    const QStringList values = arguments.mid(2);
    // The server splits the values at commas.
    for (const QString &value : values) {
        if (value.contains(QLatin1Char(','))) {
            *error = QStringLiteral("a saved value cannot hold a comma: %1").arg(value);
            return std::nullopt;
        }
    }
    ClientCommand command;
    command.kind = ClientCommand::Kind::Save;
    command.request =
        QStringLiteral("CNTAC:SAVE;") + key + QLatin1Char(',') + values.join(QLatin1Char(','));
    return command;
}

std::optional<ClientCommand> blockCommand(const QStringList &arguments, QString *error) {
    const QString action = arguments.value(1);
    ClientCommand command;
    command.kind = ClientCommand::Kind::Block;
    command.columns = kBlockColumns;
    if (action == QStringLiteral("add") && (arguments.size() == 3 || arguments.size() == 4))
        command.request = QStringLiteral("BLOCK:ADD;") + arguments.mid(2).join(QLatin1Char(';'));
    else if (action == QStringLiteral("remove") && arguments.size() == 3)
        command.request = QStringLiteral("BLOCK:DEL;") + arguments[2];
    else if (action == QStringLiteral("list") && arguments.size() == 2)
        command.request = kBlockList;
    else {
        *error = QStringLiteral("block takes add NUMBER [NOTE], remove NUMBER or list");
        return std::nullopt;
    }
    // The server splits the request at ";".
    if (arguments.size() > 2 && arguments[2].contains(QLatin1Char(';'))) {
        *error = QStringLiteral("a number cannot hold \";\": %1").arg(arguments[2]);
        return std::nullopt;
    }
    return command;
}

QJsonObject jsonRow(const QList<Column> &columns, const QStringList &row) {
    QJsonObject object;
    for (int i = 0; i < columns.size(); ++i)
        object.insert(columns[i].key, row.value(i));
    return object;
}

QString jsonText(const QJsonDocument &document) {
    return jsonLine(document) + QLatin1Char('\n');
}

AnswerOutput unexpected(const QString &answer) {
    return {{}, QStringLiteral("unexpected answer: ") + printable(answer)};
}

AnswerOutput statsOutput(const ClientCommand &command, const QString &answer, bool json) {
    QString body = answer.mid(command.request.size() + 1);
    QList<QStringList> rows;
    // Every field is ", " and the value with one blank after it.
    if (!body.isEmpty()) {
        if (!body.startsWith(QStringLiteral(", ")))
            return unexpected(answer);
        QStringList fields = body.mid(2).split(QStringLiteral(", "));
        if (fields.size() % command.columns.size() != 0)
            return unexpected(answer);
        for (QString &field : fields)
            if (field.endsWith(QLatin1Char(' ')))
                field.chop(1);
        for (qsizetype i = 0; i < fields.size(); i += command.columns.size())
            rows.append(fields.mid(i, command.columns.size()));
    }
    if (!json)
        return {formatTable(command.columns, rows), {}};
    QJsonArray array;
    for (const QStringList &row : rows)
        array.append(jsonRow(command.columns, row));
    return {jsonText(QJsonDocument(array)), {}};
}

AnswerOutput blockOutput(const ClientCommand &command, const QString &answer, bool json) {
    if (!answer.startsWith(kBlockList)) {
        const QString entry = answer.section(QLatin1Char(';'), 1);
        if (json)
            return {jsonText(QJsonDocument(QJsonObject{{QStringLiteral("number"), entry}})), {}};
        return {printable(entry) + (answer.startsWith(kBlockAdded)
                                        ? QStringLiteral(" is on the block list.\n")
                                        : QStringLiteral(" is off the block list.\n")),
                {}};
    }
    QList<QStringList> rows;
    for (const QString &entry :
         answer.mid(kBlockList.size()).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList fields = entry.split(QLatin1Char(','));
        if (fields.size() != command.columns.size())
            return unexpected(answer);
        rows.append(fields);
    }
    if (!json)
        return {formatTable(command.columns, rows), {}};
    QJsonArray array;
    for (const QStringList &row : rows) {
        QJsonObject object = jsonRow(command.columns, row);
        object.insert(QStringLiteral("calls"), row[3].toLongLong());
        array.append(object);
    }
    return {jsonText(QJsonDocument(array)), {}};
}

AnswerOutput searchOutput(const QString &answer, bool json) {
    QStringList parts = answer.mid(kSearchAnswer.size()).split(QLatin1Char(','));
    std::optional<QStringList> record;
    if (parts.first() == QStringLiteral("None")) {
        parts.removeFirst();
    } else {
        if (parts.size() < kRecordColumns.size())
            return unexpected(answer);
        record = parts.mid(0, kRecordColumns.size());
        parts = parts.mid(kRecordColumns.size());
    }
    if (json) {
        QJsonObject object;
        object.insert(QStringLiteral("record"),
                      record ? QJsonValue(jsonRow(kRecordColumns, *record)) : QJsonValue());
        object.insert(QStringLiteral("matches"), QJsonArray::fromStringList(parts));
        return {jsonText(QJsonDocument(object)), {}};
    }
    QString text;
    if (record)
        text = formatTable(kRecordColumns, {*record});
    text += parts.isEmpty() ? QStringLiteral("No match\n")
                            : QStringLiteral("Matches: ") +
                                  printable(parts.join(QStringLiteral(", "))) + QLatin1Char('\n');
    return {text, {}};
}

}  // namespace

bool ClientCommand::isAnswer(const QString &message) const {
    switch (kind) {
        case Kind::Watch:
            return false;
        case Kind::Stats:
            return message.startsWith(request + QLatin1Char('#'));
        case Kind::Search:
            return message.startsWith(kSearchAnswer) || message.startsWith(kErrorAnswer);
        case Kind::Save:
            return message.startsWith(kSaveAnswer) || message.startsWith(kErrorAnswer);
        case Kind::Block:
            return message.startsWith(kBlockAnswer);
    }
    return false;
}

std::optional<ClientCommand> parseCommand(const QStringList &arguments, QString *error) {
    for (const QString &argument : arguments) {
        if (!isLatin1(argument)) {
            *error = QStringLiteral("the server takes Latin-1 text only: %1").arg(argument);
            return std::nullopt;
        }
    }
    const QString name = arguments.value(0);
    if (name == QStringLiteral("watch") && arguments.size() == 1)
        return ClientCommand{};
    if (name == QStringLiteral("last"))
        return statsCommand(QStringLiteral("LAST"), arguments, kCallColumns, error);
    if (name == QStringLiteral("unknown"))
        return statsCommand(QStringLiteral("UNKN"), arguments, kCallColumns, error);
    if (name == QStringLiteral("top"))
        return statsCommand(QStringLiteral("TOPS"), arguments, kContactColumns, error);
    if (name == QStringLiteral("contacts") && arguments.size() == 1)
        return statsCommand(QStringLiteral("CNTS"), arguments, kContactColumns, error);
    if (name == QStringLiteral("search"))
        return searchCommand(arguments, error);
    if (name == QStringLiteral("save"))
        return saveCommand(arguments, error);
    if (name == QStringLiteral("block"))
        return blockCommand(arguments, error);
    *error = name.isEmpty()
                 ? QStringLiteral("no command given")
                 : QStringLiteral("unknown command or arguments: ") + arguments.join(' ');
    return std::nullopt;
}

AnswerOutput formatAnswer(const ClientCommand &command, const QString &answer, bool json) {
    for (const QString &errorHead : {kErrorAnswer, kBlockError})
        if (answer.startsWith(errorHead))
            return {{},
                    QStringLiteral("the server answered with an error: ") +
                        printable(answer.mid(errorHead.size()))};
    switch (command.kind) {
        case ClientCommand::Kind::Stats:
            return statsOutput(command, answer, json);
        case ClientCommand::Kind::Search:
            return searchOutput(answer, json);
        case ClientCommand::Kind::Block:
            return blockOutput(command, answer, json);
        case ClientCommand::Kind::Save: {
            const QString said = answer.mid(kSaveAnswer.size());
            if (!json)
                return {printable(said) + QLatin1Char('\n'), {}};
            QJsonObject object;
            object.insert(QStringLiteral("answer"), said);
            return {jsonText(QJsonDocument(object)), {}};
        }
        case ClientCommand::Kind::Watch:
            break;
    }
    return {};
}

QString formatTable(const QList<Column> &columns, const QList<QStringList> &rows) {
    QList<qsizetype> widths;
    for (const Column &column : columns)
        widths.append(column.header.size());
    for (const QStringList &row : rows)
        for (int i = 0; i < columns.size(); ++i)
            widths[i] = std::max(widths[i], row.value(i).size());
    const auto line = [&](const QStringList &cells) {
        QString text;
        for (int i = 0; i < columns.size(); ++i) {
            if (i > 0)
                text += QStringLiteral("  ");
            text += printable(cells.value(i)).leftJustified(widths[i]);
        }
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text + QLatin1Char('\n');
    };
    QStringList headers;
    for (const Column &column : columns)
        headers.append(column.header);
    QString text = line(headers);
    for (const QStringList &row : rows)
        text += line(row);
    return text;
}

}  // namespace ringwise
