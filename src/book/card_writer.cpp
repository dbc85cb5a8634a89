// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/card_writer.h"

#include <QStringList>

namespace ringwise {

namespace {

constexpr qsizetype kLineOctets = 75;

const char *const kTelTypes[kPhoneFields] = {"home", "cell", "work", "work,fax"};

bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// A content line folded so that no line is longer than 75 octets, never inside a
// character's UTF-8 sequence.
QByteArray folded(const QByteArray &line) {
    QByteArray out;
    qsizetype start = 0;
    qsizetype room = kLineOctets;
    while (line.size() - start > room) {
        qsizetype end = start + room;
        while (end > start + 1 && isContinuationByte(line[end]))
            --end;
        out += line.mid(start, end - start) + "\r\n ";
        start = end;
        room = kLineOctets - 1;
    }
    return out + line.mid(start) + "\r\n";
}

QString escapedText(const QString &text) {
    QString escaped;
    for (const QChar character : text) {
        if (character == u'\\' || character == u',' || character == u';')
            escaped += u'\\';
        escaped += character == u'\n' ? QStringLiteral("\\n") : QString(character);
    }
    return escaped;
}

QString csvField(const QString &text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r') && text == text.trimmed())
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

}  // namespace

QByteArray writeVCards(const std::vector<BookContact> &contacts) {
    QByteArray file;
    for (const BookContact &contact : contacts) {
        file += "BEGIN:VCARD\r\nVERSION:4.0\r\n";
        file += folded("FN:" + escapedText(contact.name).toUtf8());
        for (int field = 0; field < kPhoneFields; ++field)
            if (!contact.phones[field].isEmpty())
                file += folded(QByteArray("TEL;VALUE=text;TYPE=") + kTelTypes[field] + ':' +
                               contact.phones[field].toUtf8());
        if (!contact.email.isEmpty())
            file += folded("EMAIL:" + escapedText(contact.email).toUtf8());
        file += "END:VCARD\r\n";
    }
    return file;
}

QByteArray writeCsv(const std::vector<BookContact> &contacts) {
    QByteArray file(
        "\xEF\xBB\xBFName,Home Phone,Mobile Phone,Business Phone,Business Fax,"
        "E-mail Address\r\n");
    for (const BookContact &contact : contacts) {
        QStringList fields{csvField(contact.name)};
        for (const QString &phone : contact.phones)
            fields << csvField(phone);
        fields << csvField(contact.email);
        file += fields.join(u',').toUtf8() + "\r\n";
    }
    return file;
}

}  // namespace ringwise
