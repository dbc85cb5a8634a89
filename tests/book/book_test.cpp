// SPDX-License-Identifier: GPL-3.0-or-later
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "book/book_merge.h"
#include "book/book_table.h"
#include "book/contact_export.h"
#include "book/contact_import.h"
#include "book/csv_reader.h"
#include "book/vcard_reader.h"
#include "db/database.h"
#include "support/table_dump.h"

using namespace ringwise;

namespace {

QByteArray sample(const QString &name) {
    QFile file(QStringLiteral(BOOK_DATA "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "name|email|m:number,h:number": a card as the file gave it.
QStringList described(const CardFile &file) {
    QStringList cards;
    for (const ContactCard &card : file.cards) {
        QStringList phones;
        for (const CardPhone &phone : card.phones)
            phones << QStringLiteral("%1:%2").arg(QChar("hmwfo"[int(phone.kind)]), phone.number);
        cards << QStringList{card.name, card.email, phones.join(u',')}.join(u'|');
    }
    return cards;
}

// "name|home|mobile|work|fax|email|unrecognized": a contact as the book holds it.
QString described(const BookContact &contact) {
    QStringList fields{contact.name};
    for (const QString &phone : contact.phones)
        fields << phone;
    return (fields << contact.email << contact.unrecognized).join(u'|');
}

QStringList described(const std::vector<BookContact> &book) {
    QStringList contacts;
    for (const BookContact &contact : book)
        contacts << described(contact);
    return contacts;
}

std::vector<BookContact> bookOf(const QStringList &contacts) {
    std::vector<BookContact> book;
    for (const QString &text : contacts) {
        const QStringList fields = text.split(u'|');
        BookContact contact{qint64(book.size() + 1), fields[0], {}, fields[5], fields[6]};
        std::copy(fields.cbegin() + 1, fields.cbegin() + 5, contact.phones.begin());
        book.push_back(contact);
    }
    return book;
}

QByteArray card(const QByteArray &lines) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + lines + "END:VCARD\r\n";
}

struct TempBook {
    QTemporaryDir dir;
    Database database;
    TempBook() {
        database.open(dir.filePath(QStringLiteral("book.db")), Database::OpenMode::CreateIfMissing);
    }
    QString dump() {
        return test::dumpTable(database, QStringLiteral("tblContacts")) +
               test::dumpTable(database, QStringLiteral("tblCalls"));
    }
    ImportSummary import(const QByteArray &text, ImportOptions options = {}) {
        return ContactImport(database, QStringLiteral("45")).run(text, options);
    }
};

}  // namespace

class BookTest : public QObject {
    Q_OBJECT

private slots:
    void readsWhatExportersWrite_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("cards");
        QTest::newRow("android_2_1.vcf")
            << "android_2_1.vcf"
            << QStringList{
                   "Søren Østergaard|soeren@example.dk|m:+45 22 33 44 55,h:0045 "
                   "33445566,f:33445567",
                   "Karen Hansen fra gården med det meget lange navn||m:+46 40 12 34 56",
                   "Ole Jensen||o:22 3344 66"};
        QTest::newRow("ios_3_0.vcf")
            << "ios_3_0.vcf"
            << QStringList{
                   "Åse Berg|aase@example.dk|o:+45 70 10 20 30,m:+45 40 50 60 70,w:+45 "
                   "70 10 20 31,f:+45 70 10 20 32",
                   "Dr. Søren Peter O'Hara||m:+46 8 123 456,m:22 11 00 99"};
        QTest::newRow("nextcloud_4_0.vcf")
            << "nextcloud_4_0.vcf"
            << QStringList{
                   "Mette Frederiksen, kontoret|mf@example.dk|w:+45-33-92-33-00,m:+4512345678"};
        QTest::newRow("google.csv")
            << "google.csv"
            << QStringList{
                   "Søren Ærø|soeren@example.dk|m:+45 22 33 44 55,m:+45 22 33 44 "
                   "56,f:33445567",
                   "Ane Lund||h:+45 98 76 54 32"};
        QTest::newRow("semicolon_1252.csv")
            << "semicolon_1252.csv"
            << QStringList{"Åse Berg|aase@example.dk|m:40 50 60 70",
                           "Søren \"Bøf\" Ærø||m:22334455,h:+45 33 44 55 66",
                           "€-kontoret||m:70102030"};
    }
    void readsWhatExportersWrite() {
        QFETCH(QString, file);
        QFETCH(QStringList, cards);
        const QByteArray bytes = sample(file);
        const CardFile read = looksLikeVCard(bytes) ? readVCards(bytes) : readCsv(bytes);
        QCOMPARE(read.failure, QString());
        QCOMPARE(described(read), cards);
    }

    void brokenFileFailsWhole_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("failure");
        QTest::newRow("card cut short") << card("FN:A\r\nTEL:1\r\n") + "BEGIN:VCARD\r\nFN:B\r\n"
                                        << "line 6: the vCard has no END:VCARD";
        QTest::newRow("END:VCARD alone") << card("FN:A\r\n") + "END:VCARD\r\n"
                                         << "line 5: END:VCARD without BEGIN:VCARD";
        QTest::newRow("line without colon")
            << card("FN:A\r\nTEL 22334455\r\n") << "line 4: not a vCard property (no colon)";
        QTest::newRow("quote left open") << QByteArray("Name,Phone\nA,1\n\"B,2\nC,3\n")
                                         << "line 3: a quoted field has no closing quote";
        QTest::newRow("no phone column")
            << QByteArray("Name;Address\nA;Vej 1\n") << "line 1: the header names no phone column";
    }
    void brokenFileFailsWhole() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, failure);
        const CardFile read = looksLikeVCard(bytes) ? readVCards(bytes) : readCsv(bytes);
        QCOMPARE(read.failure, failure);
        QVERIFY(read.cards.empty());
    }

    void mergesByNumber_data() {
        QTest::addColumn<QStringList>("book");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QStringList>("merged");
        QTest::addColumn<QString>("summary");
        const QString jens = QStringLiteral("Jens Hansen||22334455||||");
        QTest::newRow("new contact, numbers as the line reports them")
            << QStringList{}
            << card(
                   "FN:Jens\r\nTEL;TYPE=cell:+45 22 33 44 55\r\nTEL;TYPE=home:0045 "
                   "33445566\r\nTEL;TYPE=work:+46 8 123\r\n")
            << false << QStringList{"Jens|33445566|22334455|00468123|||"}
            << "Added 1, updated 0, unchanged 0, refused 0.";
        QTest::newRow("known number fills the empty fields")
            << QStringList{jens}
            << card(
                   "FN:Jens "
                   "Hansen\r\nTEL;TYPE=home:33445566\r\nTEL:+4522334455\r\nEMAIL:j@x.dk\r\n")
            << false << QStringList{"Jens Hansen|33445566|22334455|||j@x.dk|"}
            << "Added 0, updated 1, unchanged 0, refused 0.";
        QTest::newRow("differing name kept")
            << QStringList{jens} << card("FN:Jens H.\r\nTEL:22334455\r\n") << false
            << QStringList{jens}
            << "Added 0, updated 0, unchanged 1, refused 0.\nline 1 \"Jens H.\": the book's name "
               "is \"Jens Hansen\"; kept";
        QTest::newRow("differing name replaced")
            << QStringList{jens} << card("FN:Jens H.\r\nTEL:22334455\r\n") << true
            << QStringList{"Jens H.||22334455||||"}
            << "Added 0, updated 1, unchanged 0, refused 0.\nline 1 \"Jens H.\": the book's name "
               "is \"Jens Hansen\"; replaced";
        QTest::newRow("unrecognised caller named, its kin folded in")
            << QStringList{"||||||87654321", "Directory Name||||||11111111"}
            << card("FN:Ole\r\nTEL;TYPE=home:87654321\r\nTEL;TYPE=cell:11111111\r\n") << false
            << QStringList{"Ole|87654321|11111111||||"}
            << "Added 0, updated 1, unchanged 0, refused 0.";
        QTest::newRow("second cell to the first free field, fifth left out")
            << QStringList{}
            << card(
                   "FN:Kim\r\nTEL;TYPE=cell:1\r\nTEL;TYPE=cell:2\r\nTEL;TYPE=fax:3\r\nTEL:4\r\n"
                   "TEL:5\r\n")
            << false << QStringList{"Kim|2|1|4|3||"}
            << "Added 1, updated 0, unchanged 0, refused 0.\nline 1 \"Kim\": 5 left out, the four "
               "phone fields are full";
        QTest::newRow("numbers of two contacts, no name, no number")
            << QStringList{jens, "Ane||33445566||||"}
            << card("FN:Both\r\nTEL:22334455\r\nTEL:33445566\r\n") + card("TEL:1\r\n") +
                   card("FN:X\r\n")
            << false << QStringList{jens, "Ane||33445566||||"}
            << "Added 0, updated 0, unchanged 0, refused 3.\nline 1 \"Both\": refused, its numbers "
               "belong to 2 contacts: \"Jens Hansen\", \"Ane\"\nline 7: refused, no name\nline 11 "
               "\"X\": refused, no phone number";
        QTest::newRow("home code twice, stored as the line reports it")
            << QStringList{"X||0045102032||||"} << card("FN:X\r\nTEL:+45 0045 10 20 32\r\n")
            << false << QStringList{"X||0045102032||||"}
            << "Added 0, updated 0, unchanged 1, refused 0.";
        QTest::newRow("same card twice")
            << QStringList{} << card("FN:A\r\nTEL:1\r\n") + card("FN:A\r\nTEL:+451\r\n") << false
            << QStringList{"A|1|||||"} << "Added 1, updated 0, unchanged 1, refused 0.";
    }
    void mergesByNumber() {
        QFETCH(QStringList, book);
        QFETCH(QByteArray, file);
        QFETCH(bool, replace);
        BookMerge merge(bookOf(book), QStringLiteral("45"), replace);
        for (const ContactCard &card : readVCards(file).cards)
            merge.merge(card);
        QFETCH(QString, summary);
        QCOMPARE(merge.summary().text(), summary);
        std::vector<BookContact> merged = merge.book();
        // A folded contact is gone once stored.
        for (const auto &[from, into] : merge.folds())
            merged[from] = BookContact{};
        merged.erase(std::remove(merged.begin(), merged.end(), BookContact{}), merged.end());
        for (BookContact &contact : merged)
            contact.id = 0;
        QTEST(described(merged), "merged");
    }

    // The unrecognised callers' contacts keep their calls under the named one; the same
    // file again, or a dry run, changes nothing.
    void importNamesUnrecognisedCallersOnce() {
        TempBook book;
        book.database.exec(
            "INSERT INTO tblContacts (FullName, TotalCalls, Unrecognized) VALUES "
            "(NULL, 2, '87654321'), ('Directory Name', 1, '11111111'), ('Ane', 0, '')");
        book.database.exec(
            "INSERT INTO tblCalls (ContactID, CallNumber) VALUES "
            "(1, '87654321'), (1, '87654321'), (2, '11111111')");
        const QByteArray file =
            card("FN:Ole\r\nTEL;TYPE=home:87654321\r\nTEL;TYPE=cell:+45 11 11 11 11\r\n");
        const QString untouched = book.dump();
        QCOMPARE(book.import(file, {false, true}).text(),
                 "Added 0, updated 1, unchanged 0, refused 0.\nDry run: nothing was changed.");
        QCOMPARE(book.dump(), untouched);
        QCOMPARE(book.import(file).text(), "Added 0, updated 1, unchanged 0, refused 0.");
        const QString named = book.dump();
        QCOMPARE(named,
                 "1|'Ole'|'87654321'|'11111111'|NULL|NULL|NULL|3|''\n"
                 "3|'Ane'|NULL|NULL|NULL|NULL|NULL|0|''"
                 "1|1|NULL|0|'87654321'\n2|1|NULL|0|'87654321'\n3|1|NULL|0|'11111111'");
        QCOMPARE(book.import(file).text(), "Added 0, updated 0, unchanged 1, refused 0.");
        QCOMPARE(book.dump(), named);
    }

    void failingImportChangesNothing_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("summary");
        const QByteArray good = card("FN:A\r\nTEL:1\r\n") + card("FN:Boom\r\nTEL:2\r\n");
        QTest::newRow("vCard cut short halfway")
            << good + "BEGIN:VCARD\r\nFN:C\r\n" + card("FN:D\r\nTEL:4\r\n")
            << "Nothing imported: line 11: the vCard has no END:VCARD.";
        QTest::newRow("database fails at the second contact")
            << good << "Nothing imported: disk on fire.";
    }
    void failingImportChangesNothing() {
        QFETCH(QByteArray, file);
        TempBook book;
        book.database.exec("INSERT INTO tblContacts (FullName, MobilePhone) VALUES ('Ane', '9')");
        book.database.exec(
            "CREATE TRIGGER fire BEFORE INSERT ON tblContacts "
            "WHEN NEW.FullName = 'Boom' BEGIN SELECT RAISE(ABORT, 'disk on fire'); END");
        const QString before = book.dump();
        QTEST(book.import(file).text(), "summary");
        QCOMPARE(book.dump(), before);
    }

    void exportReadsBackUnchanged_data() {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("contacts.vcf") << "contacts.vcf";
        QTest::newRow("contacts.CSV") << "contacts.CSV";
    }
    void exportReadsBackUnchanged() {
        QFETCH(QString, fileName);
        TempBook book;
        book.database.exec(
            "INSERT INTO tblContacts (FullName, HomePhone, MobilePhone, BusinessPhone, "
            "BusinessFax, Email, Unrecognized) VALUES "
            "('Åse Berg', '70102030', NULL, '', '70102032', 'aase@example.dk', ''), "
            "('Zacharias', NULL, '22334455', NULL, NULL, NULL, NULL), "
            "(NULL, NULL, NULL, NULL, NULL, NULL, '99999999'), "
            "('Ærø, \"Søren\" \\ Bøf; Kræmmerhusets Æbleskiver og Økologiske Ålegilde ApS', "
            "'00468123', NULL, NULL, NULL, NULL, ''), "
            "('anders', NULL, NULL, '33445566', NULL, 'a,b@example.dk', '')");
        const std::optional<BookFormat> format = bookFormatOf(fileName);
        QVERIFY(format);
        const QByteArray exported = exportContacts(book.database, *format);
        QStringList order;
        for (const BookContact &contact : readNamedContacts(book.database))
            order << contact.name.left(5);
        QCOMPARE(order, QStringList({"ander", "Zacha", "Ærø, ", "Åse B"}));
        QCOMPARE(book.import(exported, {false, true}).text(),
                 "Added 0, updated 0, unchanged 4, refused 0.\nDry run: nothing was changed.");
        TempBook copy;
        QCOMPARE(copy.import(exported).text(), "Added 4, updated 0, unchanged 0, refused 0.");
        QCOMPARE(exportContacts(copy.database, *format), exported);
    }
};

QTEST_APPLESS_MAIN(BookTest)
#include "book_test.moc"
