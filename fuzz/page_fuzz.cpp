// SPDX-License-Identifier: GPL-3.0-or-later
// The directory's answer, any bytes, delivered in pieces as a socket would: the first byte
// sets the piece sizes. Each piece is added to the answer and read as HTTP, as the lookup
// does when the connection ends; the whole answer's page then goes through the result
// parser and the page text decoders.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "directory/http_answer.h"
#include "directory/page_text.h"
#include "directory/result_page.h"
#include "fuzz/fuzz_support.h"

using namespace ringwise;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const qsizetype pieceSize = data[0] % 64 + 1;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);

    QByteArray answer;
    bool complete = false;
    for (qsizetype at = 0; at < bytes.size(); at += pieceSize) {
        answer += bytes.mid(at, pieceSize);
        // More bytes never take back an answer's completeness.
        const bool nowComplete = HttpAnswer::read(answer).complete;
        fuzz::check(nowComplete || !complete, "a complete answer became incomplete");
        complete = nowComplete;
    }

    const ResultPage page = ResultPage::parse(HttpAnswer::read(answer).page);
    fuzz::check(page.outcome == ResultPage::Outcome::Name || page.name.isEmpty(),
                "a name without a result");

    // Well-formed UTF-8 reads as UTF-8, and plain ASCII as itself.
    const QString text = decodePageText(answer);
    const QString utf8 = QString::fromUtf8(answer);
    if (utf8.toUtf8() == answer)
        fuzz::check(text == utf8, "well-formed UTF-8 read otherwise");
    decodeCharacterReferences(text);
    return 0;
}
