#pragma once

#include <QByteArray>
#include <QString>

namespace ringwise {

// What the directory's result page says about a number.
struct ResultPage {
    enum class Outcome {
        NoMarker,  // no result arrow: the directory does not know the number
        Name,      // the cell after the first result arrow, blanks not yet trimmed
        Failure,   // the cell cannot be cut out of the page
    };

    Outcome outcome = Outcome::NoMarker;
    QString name;

    static ResultPage parse(const QByteArray &page);
};

}  // namespace ringwise
