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

// Whether the directory's answer (status line, headers and page) arrived whole: its page holds
// at least the bytes its Content-Length announces or, with no length announced, contains
// "</html>" in any case. An answer cut short has no result arrow, and taking it for the
// directory's "unknown number" would name the caller "Unidentified" for good.
bool answerIsComplete(const QByteArray &answer);

}  // namespace ringwise
