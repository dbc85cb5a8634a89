// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/file_text.h"

#include <QStringDecoder>

namespace ringwise {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five bytes it leaves unused read
// as their Latin-1 control characters.
const char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(const QByteArray &bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text[i] = byte >= 0x80 && byte < 0xA0 ? QChar(kWindows1252High[byte - 0x80]) : QChar(byte);
    }
    return text;
}

}  // namespace

QString decodeFileText(const QByteArray &bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return fromWindows1252(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

QString decodeCharset(const QByteArray &bytes, const QString &charset) {
    const QString name = charset.toLower();
    if (name == u"iso-8859-1" || name == u"latin1" || name == u"windows-1252" || name == u"cp1252")
        return fromWindows1252(bytes);
    return decodeFileText(bytes);
}

QString cleanText(const QString &text) {
    QString kept;
    for (const QChar character : text)
        kept += character.category() == QChar::Other_Control ? QChar(u' ') : character;
    return kept.simplified();
}

}  // namespace ringwise
