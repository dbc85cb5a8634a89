// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace ringwise {

// What the directory's result page says about a number.
struct ResultPage {
    enum class Outcome {
        NoMarker,   // a result page with no result arrow: the directory does not know the number
        Name,       // the cell after the first result arrow, blanks not yet trimmed
        Failure,    // the cell cannot be cut out of the page
        ErrorPage,  // neither a result arrow nor the result table: not a result page at all
    };

    Outcome outcome = Outcome::NoMarker;
    QString name;

    // page: what follows the answer's headers.
    static ResultPage parse(const QByteArray &page);
};

}  // namespace ringwise
