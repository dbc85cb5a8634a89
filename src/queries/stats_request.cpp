// SPDX-License-Identifier: GPL-3.0-or-later
#include "queries/stats_request.h"

#include <QString>

namespace ringwise {

namespace {

struct ViewName {
    const char *name;
    StatsRequest::Kind kind;
    bool limited;  // reads the row limit after the ";"
};

const ViewName kViewNames[] = {
    {"LAST", StatsRequest::Kind::LastCalls, true},
    {"UNKN", StatsRequest::Kind::UnrecognizedCalls, true},
    {"TOPS", StatsRequest::Kind::TopContacts, true},
    {"CNTS", StatsRequest::Kind::AllContacts, false},
};

}  // namespace

StatsRequest parseStatsRequest(QStringView text) {
    const qsizetype colon = text.indexOf(u':');
    const qsizetype semicolon = text.indexOf(u';');
    if (semicolon < 0 || semicolon - colon - 1 < 0)
        return {};
    const QStringView name = text.mid(colon + 1, semicolon - colon - 1);
    for (const ViewName &view : kViewNames) {
        if (name != QLatin1String(view.name))
            continue;
        if (!view.limited)
            return {view.kind, std::nullopt};
        bool ok = false;
        const short limit = text.mid(semicolon + 1).toShort(&ok, 10);
        return ok ? StatsRequest{view.kind, limit} : StatsRequest{};
    }
    return {StatsRequest::Kind::UnknownView, std::nullopt};
}

}  // namespace ringwise
