// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/request_gate.h"

#include <QList>

namespace ringwise {

namespace {

const QByteArray kHeadEnd = QByteArrayLiteral("\r\n\r\n");

}  // namespace

RequestGate::Verdict RequestGate::feed(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        if (m_bodyLeft > 0) {
            const qint64 skipped = std::min<qint64>(m_bodyLeft, bytes.size());
            m_bodyLeft -= skipped;
            bytes = bytes.sliced(skipped);
            continue;
        }
        // The head's end may straddle two reads: look from just before the new bytes.
        const qsizetype from = std::max<qsizetype>(0, m_head.size() - (kHeadEnd.size() - 1));
        m_head.append(bytes.data(), bytes.size());
        const qsizetype end = m_head.indexOf(kHeadEnd, from);
        // A head may also come whole in one read.
        if (end < 0 ? m_head.size() > kMaxBytes : end > kMaxBytes)
            return {431, QByteArrayLiteral("tooLarge")};
        if (end < 0)
            return {};
        const qsizetype rest = m_head.size() - (end + kHeadEnd.size());
        m_head.truncate(end);
        const Verdict verdict = checkHead();
        m_head.clear();
        if (verdict.status != 0)
            return verdict;
        bytes = bytes.last(rest);
    }
    return {};
}

RequestGate::Verdict RequestGate::checkHead() {
    for (const QByteArray &line : m_head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        if (name == "content-length") {
            bool ok = false;
            m_bodyLeft = line.mid(colon + 1).trimmed().toLongLong(&ok);
            if (!ok || m_bodyLeft < 0 || m_bodyLeft > kMaxBytes) {
                m_bodyLeft = 0;
                return {413, QByteArrayLiteral("tooLarge")};
            }
        } else if (name == "transfer-encoding") {
            return {411, QByteArrayLiteral("length")};
        }
    }
    return {};
}

}  // namespace ringwise
