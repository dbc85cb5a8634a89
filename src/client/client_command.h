// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace ringwise {

// A column of an answer: its JSON key and its table header.
struct Column {
    QString key;
    QString header;
};

// What the client was asked to do, from its positional arguments.
struct ClientCommand {
    enum class Kind { Watch, Stats, Search, Save, Block };
    Kind kind = Kind::Watch;
    QString request;        // the text sent to the server (one-shot commands)
    QList<Column> columns;  // the fields of a row of a statistics answer

    // Whether a message from the server is the answer to the request.
    bool isAnswer(const QString &message) const;
};

// Reads "watch", "last [N]", "unknown [N]", "top [N]", "contacts", "search FIELD TERM" or
// "save ID|new NAME HOME MOBILE EMAIL WORK FAX", "block add NUMBER [NOTE]", "block remove
// NUMBER" or "block list"; nothing and a reason for a usage error.
std::optional<ClientCommand> parseCommand(const QStringList &arguments, QString *error);

// What a one-shot command prints for the server's answer: standard output, or an error. Text
// output has its control characters replaced, JSON output escapes them.
struct AnswerOutput {
    QString text;
    QString error;
};
AnswerOutput formatAnswer(const ClientCommand &command, const QString &answer, bool json);

// Rows as columns padded to their widest cell, two blanks apart, a header line first; control
// characters in the cells are replaced (see printable).
QString formatTable(const QList<Column> &columns, const QList<QStringList> &rows);

}  // namespace ringwise
