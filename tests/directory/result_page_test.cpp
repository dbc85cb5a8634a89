#include <QtTest>

#include "directory/page_text.h"
#include "directory/result_page.h"

using namespace ringwise;

namespace {

const QByteArray kArrow =
    R"(<td><img src="../img/oplysningen/ikoner/resultat-pil.gif" width="15" height="12"></td>)";

}  // namespace

class ResultPageTest : public QObject {
    Q_OBJECT

private slots:
    void nameAfterTheArrow_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<ResultPage::Outcome>("outcome");
        QTest::addColumn<QString>("name");
        using O = ResultPage::Outcome;
        QTest::newRow("name with blanks")
            << kArrow + "\n<td class=\"navn\">  Jens Hansen </td><td>Aarhus</td>" << O::Name
            << "  Jens Hansen ";
        QTest::newRow("arrow twice") << kArrow + "<td>Anna Berg</td>" + kArrow + "<td>Bo Holm</td>"
                                     << O::Name << "Anna Berg";
        QTest::newRow("cell ends only after the second arrow")
            << kArrow + "<td>Anna Berg" + kArrow + "<td>Bo Holm</td>" << O::Failure << "";
        QTest::newRow("no arrow") << QByteArray("<html>Ingen resultater</html>") << O::NoMarker
                                  << "";
        QTest::newRow("arrow of another size")
            << QByteArray("resultat-pil.gif\" width=\"15\" height=\"13\"></td><td>X</td>")
            << O::NoMarker << "";
        QTest::newRow("empty cell") << kArrow + "<td></td>" << O::Name << "";
        QTest::newRow("no end of cell") << kArrow + "<td>Jens Hansen<br>" << O::Failure << "";
        QTest::newRow("end of cell first") << kArrow + "</td><td>Jens</td>" << O::Failure << "";
        QTest::newRow("tags stay")
            << kArrow + "<td><b>Jens</b> Hansen</td>" << O::Name << "<b>Jens</b> Hansen";
        QTest::newRow("Latin-1 name") << kArrow + "<td>S\xf8ren</td>" << O::Name << "Søren";
        QTest::newRow("UTF-8 name") << kArrow + "<td>S\xc3\xb8ren</td>" << O::Name << "Søren";
        QTest::newRow("references")
            << kArrow + "<td>S&oslash;ren &amp; &#216;rsted</td>" << O::Name << "Søren & Ørsted";
    }
    void nameAfterTheArrow() {
        QFETCH(QByteArray, page);
        const ResultPage result = ResultPage::parse(page);
        QTEST(result.outcome, "outcome");
        QTEST(result.name, "name");
    }

    void bytesReadAsUtf8OrLatin1_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("Latin-1 S\\xf8ren") << QByteArray("S\xf8ren") << "Søren";
        QTest::newRow("UTF-8 S\\xc3\\xb8ren") << QByteArray("S\xc3\xb8ren") << "Søren";
        QTest::newRow("both in one text") << QByteArray("S\xc3\xb8ren \xc6r\xf8") << "Søren Ærø";
        QTest::newRow("cut sequence at end") << QByteArray("S\xc3") << "SÃ";
        QTest::newRow("overlong \\xc0\\xaf") << QByteArray("\xc0\xaf") << "À¯";
        QTest::newRow("surrogate \\xed\\xa0\\x80") << QByteArray("\xed\xa0\x80") << "í\u00a0\u0080";
        QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << "\U0001F600";
    }
    void bytesReadAsUtf8OrLatin1() {
        QFETCH(QByteArray, bytes);
        QTEST(decodePageText(bytes), "text");
    }

    void characterReferences_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded");
        const auto row = [](const char *text, const char *decoded) {
            QTest::newRow(text) << QString(text) << QString(decoded);
        };
        row("&lt;b&gt; &quot;O&apos;Brien&quot;", "<b> \"O'Brien\"");
        row("&AElig;&aelig;&Oslash;&oslash;&Aring;&aring;&eacute;&uuml;", "ÆæØøÅåéü");
        row("S&#248;ren", "Søren");
        row("S&#xF8;ren", "Søren");
        row("&nbsp;Jens&nbsp;", " Jens ");
        row("&amp;amp;", "&amp;");
        row("Berg &amp Co", "Berg &amp Co");
        row("&#0;", "&#0;");
        row("&#xD800;", "&#xD800;");
        row("&#x110000;", "&#x110000;");
        row("& Co; A/S", "& Co; A/S");
    }
    void characterReferences() {
        QFETCH(QString, text);
        QTEST(decodeCharacterReferences(text), "decoded");
    }
};

QTEST_APPLESS_MAIN(ResultPageTest)
#include "result_page_test.moc"
