// SPDX-License-Identifier: GPL-3.0-or-later
#include "queries/block_requests.h"

#include "db/database_error.h"
#include "queries/block_list.h"

namespace ringwise {

namespace {

const QString kAdd = QStringLiteral("BLOCK:ADD;");
const QString kDelete = QStringLiteral("BLOCK:DEL;");
const QString kList = QStringLiteral("BLOCK:LIST;");
const QString kErrorHead = QStringLiteral("BLOCK:ERRO;");

// A listed value without the separators of the answer (a tool may have stored them).
QString listed(QString value) {
    value.remove(QLatin1Char(','));
    value.remove(QLatin1Char(';'));
    return value;
}

QString changed(const QString &head, const BlockList::Parsed &result) {
    return result.problem.isEmpty() ? head + result.entry : kErrorHead + result.problem;
}

}  // namespace

BlockRequests::BlockRequests(BlockList &list) : m_list(list) {}

std::optional<QString> BlockRequests::HandleBlockRequest(const QString &text) {
    // A request typed by hand ends with the Enter key's line break.
    QString request = text;
    if (request.endsWith(QLatin1Char('\n')))
        request.chop(1);
    if (request.endsWith(QLatin1Char('\r')))
        request.chop(1);
    try {
        return answer(request);
    } catch (const DatabaseError &error) {
        return kErrorHead + error.description();
    }
}

QString BlockRequests::answer(const QString &text) {
    if (text.startsWith(kAdd)) {
        const QString rest = text.mid(kAdd.size());
        const qsizetype split = rest.indexOf(QLatin1Char(';'));
        return changed(kAdd, split < 0 ? m_list.add(rest, QString())
                                       : m_list.add(rest.left(split), rest.mid(split + 1)));
    }
    if (text.startsWith(kDelete))
        return changed(kDelete, m_list.remove(text.mid(kDelete.size())));
    if (text == kList) {
        QString list = kList;
        for (const BlockEntry &entry : m_list.entries())
            list += QStringList{listed(entry.number), listed(entry.note), listed(entry.added),
                                QString::number(entry.blockedCalls), listed(entry.lastBlocked)}
                        .join(QLatin1Char(',')) +
                    QLatin1Char(';');
        return list;
    }
    return kErrorHead + QStringLiteral("Not a block request");
}

}  // namespace ringwise
