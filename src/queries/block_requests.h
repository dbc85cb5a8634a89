// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace ringwise {

class BlockList;

// Answers "BLOCK:" requests: "ADD;number;note" and "DEL;number" change the block list,
// "LIST;" lists it with the calls each entry blocked. A change answers with the entry as
// stored, the list with one "number,note,added,calls,last;" per entry; a request that cannot
// be carried out, "BLOCK:ERRO;" and the reason.
class BlockRequests {
public:
    explicit BlockRequests(BlockList &list);

    std::optional<QString> HandleBlockRequest(const QString &text);

private:
    QString answer(const QString &text);

    BlockList &m_list;
};

}  // namespace ringwise
