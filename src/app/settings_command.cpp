// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings_command.h"

#include <QCommandLineParser>
#include <QTextStream>
#include <vector>

#include "core/settings_form.h"
#include "core/settings_store.h"
#include "core/settings_table.h"

namespace ringwise {

namespace {

const QString kListOption = QStringLiteral("settings");
const QString kSetOption = QStringLiteral("set");

constexpr int kDone = 0;
constexpr int kNotSaved = 1;
constexpr int kRefused = 2;

// One KEY=VALUE of the command line; refusal says why it cannot be stored.
struct Assignment {
    QString key;
    QString value;
    QString refusal;
};

QStringList allKeys() {
    QStringList keys;
    for (const Setting &setting : settingsTable())
        keys << setting.key;
    return keys;
}

Assignment parseAssignment(const QString &text) {
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return {
            QString(), QString(),
            QStringLiteral("--set needs KEY=VALUE, for example --set ServerPing=60; got \"%1\".")
                .arg(text)};
    Assignment assignment{text.left(equals), text.mid(equals + 1), QString()};
    if (const Setting *setting = findSetting(assignment.key))
        assignment.refusal = settingRefusal(*setting, assignment.value);
    else
        assignment.refusal = QStringLiteral("Unknown setting \"%1\". The settings are: %2.")
                                 .arg(assignment.key, allKeys().join(QStringLiteral(", ")));
    return assignment;
}

void printSettings(const SettingsStore &store, QTextStream &out) {
    for (const Setting &setting : settingsTable()) {
        QString value = store.Read(setting.key);
        // The same stars for every password: not even its length shows.
        if ((setting.kind == SettingKind::Password || setting.kind == SettingKind::Secret) &&
            !value.isEmpty())
            value = QStringLiteral("********");
        out << setting.key << '=' << value << Qt::endl;
    }
}

}  // namespace

void addSettingsOptions(QCommandLineParser &parser) {
    parser.addOption({kListOption, QStringLiteral("Print the stored settings and exit.")});
    parser.addOption({kSetOption,
                      QStringLiteral("Change one stored setting and exit (a password shorter "
                                     "than 9 characters or outside Latin-1 and check boxes other "
                                     "than True or False are refused). May be given more than "
                                     "once."),
                      QStringLiteral("KEY=VALUE")});
}

bool isSettingsCommand(const QCommandLineParser &parser) {
    return parser.isSet(kListOption) || parser.isSet(kSetOption);
}

int runSettingsCommand(SettingsStore &store, const QCommandLineParser &parser, QTextStream &out,
                       QTextStream &err) {
    // Every assignment is checked before the first is written.
    std::vector<Assignment> assignments;
    for (const QString &text : parser.values(kSetOption)) {
        assignments.push_back(parseAssignment(text));
        if (!assignments.back().refusal.isEmpty()) {
            err << assignments.back().refusal << Qt::endl;
            return kRefused;
        }
    }
    for (const Assignment &assignment : assignments) {
        if (!store.Write(assignment.key, assignment.value)) {
            err << kNotSavedText << ' ' << store.writeFailure() << Qt::endl;
            return kNotSaved;
        }
    }
    if (parser.isSet(kListOption))
        printSettings(store, out);
    return kDone;
}

}  // namespace ringwise
