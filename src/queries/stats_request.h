// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringView>
#include <optional>

namespace ringwise {

// What a "STATS:" request asks for: the view between the colon and the first ";" and, for
// the views that take one, the row limit after it.
struct StatsRequest {
    enum class Kind {
        Malformed,          // no ";", or a limit that is not a short: answered with nothing
        UnknownView,        // answered with the request itself
        LastCalls,          // LAST
        UnrecognizedCalls,  // UNKN
        TopContacts,        // TOPS
        AllContacts,        // CNTS
    };
    Kind kind = Kind::Malformed;
    // The most rows to answer with (none when 0 or below); empty for a view that sends
    // every row.
    std::optional<short> limit;
};

StatsRequest parseStatsRequest(QStringView text);

}  // namespace ringwise
