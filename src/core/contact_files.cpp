// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/contact_files.h"

#include <QFile>
#include <QSaveFile>

#include "book/contact_export.h"
#include "book/contact_import.h"
#include "core/private_files.h"
#include "db/database_error.h"

namespace ringwise {

ImportSummary importContactFile(Database &database, const QString &countryCode, const QString &path,
                                ImportOptions options) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ImportSummary summary;
        summary.failure = QStringLiteral("%1: %2").arg(path, file.errorString());
        return summary;
    }
    return ContactImport(database, countryCode).run(file.readAll(), options);
}

ExportOutcome exportContactFile(Database &database, const QString &path) {
    const std::optional<BookFormat> format = bookFormatOf(path);
    if (!format)
        return {false, QStringLiteral("%1: the name must end in .vcf or .csv").arg(path)};
    QByteArray contents;
    try {
        contents = exportContacts(database, *format);
    } catch (const DatabaseError &error) {
        return {false, error.description()};
    }
    // The contacts are personal data; a file that exists keeps its mode. A file that cannot
    // be created is reported by the write.
    createPrivateFile(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() ||
        !file.commit())
        return {false, QStringLiteral("%1: %2").arg(path, file.errorString())};
    return {true, QStringLiteral("Contacts written to %1.").arg(path)};
}

}  // namespace ringwise
