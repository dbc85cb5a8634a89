// Any bytes as a vCard file: read, then imported into the seeded book (fuzz/book_checks.h).

#include <cstddef>
#include <cstdint>

#include "fuzz/book_checks.h"

using namespace ringwise;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static fuzz::SeededDatabase seeded;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const CardFile file = readVCards(bytes);
    fuzz::check(file.failure.isEmpty() || file.cards.empty(), "a failed file kept cards");
    if (looksLikeVCard(bytes))
        fuzz::checkImport(seeded, bytes);
    return 0;
}
