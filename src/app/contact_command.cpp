// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/contact_command.h"

#include <QCommandLineParser>
#include <QTextStream>

#include "core/contact_files.h"
#include "core/load_settings.h"
#include "core/open_database.h"
#include "core/settings_store.h"
#include "core/settings_table.h"
#include "db/database.h"
#include "db/database_error.h"

namespace ringwise {

namespace {

const QString kImportOption = QStringLiteral("import");
const QString kExportOption = QStringLiteral("export");
const QString kReplaceOption = QStringLiteral("replace");
const QString kDryRunOption = QStringLiteral("dry-run");
const QString kDatabaseOption = QStringLiteral("database");

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kMisused = 2;

}  // namespace

void addContactOptions(QCommandLineParser &parser) {
    parser.addOption({kImportOption,
                      QStringLiteral("Import the contacts of a vCard (2.1, 3.0, 4.0) or CSV file "
                                     "into the contact book and exit; prints how many were "
                                     "added, updated, unchanged and refused."),
                      QStringLiteral("FILE")});
    parser.addOption({kReplaceOption,
                      QStringLiteral("With --import: a name or e-mail that differs from the "
                                     "book's replaces it (otherwise it is reported and kept).")});
    parser.addOption(
        {kDryRunOption, QStringLiteral("With --import: report what the import would do and "
                                       "change nothing.")});
    parser.addOption({kExportOption,
                      QStringLiteral("Write the named contacts to FILE.vcf (vCard 4.0) or "
                                     "FILE.csv and exit."),
                      QStringLiteral("FILE")});
}

bool isContactCommand(const QCommandLineParser &parser) {
    return parser.isSet(kImportOption) || parser.isSet(kExportOption) ||
           parser.isSet(kReplaceOption) || parser.isSet(kDryRunOption);
}

int runContactCommand(const SettingsStore &store, const QCommandLineParser &parser,
                      QTextStream &out, QTextStream &err) {
    const bool importing = parser.isSet(kImportOption);
    if (importing == parser.isSet(kExportOption) ||
        (!importing && (parser.isSet(kReplaceOption) || parser.isSet(kDryRunOption)))) {
        err << "Give either --import FILE (with --replace or --dry-run if wanted) or --export "
               "FILE."
            << Qt::endl;
        return kMisused;
    }
    ServerSettings settings;
    readDatabasePath(store, settings);
    if (parser.isSet(kDatabaseOption)) {
        settings.dbPath = parser.value(kDatabaseOption);
        settings.dbPathIsDefault = true;
    }
    Database database;
    try {
        OpenDatabase(database, settings);
    } catch (const DatabaseError &error) {
        err << settings.dbPath << ": " << error.description() << Qt::endl;
        return kFailed;
    }
    if (!importing) {
        const ExportOutcome outcome = exportContactFile(database, parser.value(kExportOption));
        (outcome.written ? out : err) << outcome.text << Qt::endl;
        return outcome.written ? kDone : kFailed;
    }
    const ImportSummary summary = importContactFile(
        database, countryCode(store.Read(key::ServerCountryCode)), parser.value(kImportOption),
        {parser.isSet(kReplaceOption), parser.isSet(kDryRunOption)});
    (summary.failure.isEmpty() ? out : err) << summary.text() << Qt::endl;
    return summary.failure.isEmpty() ? kDone : kFailed;
}

}  // namespace ringwise
