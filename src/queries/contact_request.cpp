// SPDX-License-Identifier: GPL-3.0-or-later
#include "queries/contact_request.h"

namespace ringwise {

namespace {

const QLatin1String kSaveHead("CNTAC:SAVE;");
const QLatin1String kSearchHead("CNTAC:SEAR;");
const QLatin1String kSelectorMark(",@");
constexpr qsizetype kSaveParts = 7;  // the ID and six values
constexpr qsizetype kFieldHeadLength = 16;

struct FieldHead {
    const char *head;
    SearchField field;
};

const FieldHead kFieldHeads[] = {
    {"CNTAC:SEAR;ALLF;", SearchField::AllFields},
    {"CNTAC:SEAR;NAME;", SearchField::FullName},
    {"CNTAC:SEAR;PHON;", SearchField::HomePhone},
    {"CNTAC:SEAR;MOBI;", SearchField::MobilePhone},
    {"CNTAC:SEAR;EMAI;", SearchField::Email},
    {"CNTAC:SEAR;BPHO;", SearchField::BusinessPhone},
    {"CNTAC:SEAR;BFAX;", SearchField::BusinessFax},
};

ContactRequest malformed(const QString &problem) {
    ContactRequest request;
    request.kind = ContactRequest::Kind::Malformed;
    request.problem = problem;
    return request;
}

// Plain decimal digits only: anything else must never reach a statement as a key.
std::optional<qint64> contactKey(QStringView text) {
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const qint64 key = text.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(key) : std::nullopt;
}

ContactRequest parseSave(QStringView payload) {
    const QList<QStringView> parts = payload.split(u',');
    if (parts.size() < kSaveParts)
        return malformed(
            QStringLiteral("A contact is saved with an ID and six values, %1 were sent")
                .arg(parts.size() - 1));
    ContactRequest request;
    request.kind = ContactRequest::Kind::Save;
    for (qsizetype i = 1; i < kSaveParts; ++i)
        request.values << parts[i].toString();
    if (parts[0] == QLatin1String("NEW"))
        return request;
    request.contactKey = contactKey(parts[0]);
    if (!request.contactKey)
        return malformed(QStringLiteral("The contact ID is not a whole number: ") +
                         parts[0].toString());
    return request;
}

ContactRequest parseSearch(QStringView text) {
    ContactRequest request;
    const qsizetype mark = text.indexOf(kSelectorMark);
    if (mark >= 0) {
        QStringView selector = text.mid(mark);
        const qsizetype colon = selector.indexOf(u':');
        if (colon >= 0)
            selector = selector.mid(colon + 1);
        request.selector = selector.toString();
        text.truncate(mark);
    }
    const QStringView head = text.left(kFieldHeadLength);
    for (const FieldHead &field : kFieldHeads) {
        if (head == QLatin1String(field.head)) {
            request.kind = ContactRequest::Kind::Search;
            request.field = field.field;
            request.term = text.mid(kFieldHeadLength).toString();
            return request;
        }
    }
    return {};
}

}  // namespace

ContactRequest parseContactRequest(QStringView text) {
    if (text.startsWith(kSaveHead))
        return parseSave(text.mid(kSaveHead.size()));
    if (text.startsWith(kSearchHead))
        return parseSearch(text);
    return {};
}

}  // namespace ringwise
