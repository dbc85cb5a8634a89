#include "app/settings_command.h"

#include <QCommandLineParser>
#include <QTextStream>
#include <vector>

#include "core/settings_form.h"
#include "core/settings_store.h"

namespace ringwise {

namespace {

const QString kListOption = QStringLiteral("settings");
const QString kSetOption = QStringLiteral("set");

constexpr int kDone = 0;
constexpr int kNotSaved = 1;
constexpr int kRefused = 2;

const QStringList kKeys = {key::ServerPort, key::ServerAutoStart, key::ServerDB,
                           key::ServerCOM,  key::ServerCheckDGS,  key::ServerMinimized,
                           key::ServerPing, key::ServerPassword,  key::ServerDirectoryHost};

// One KEY=VALUE of the command line; refusal says why it cannot be stored.
struct Assignment {
    QString key;
    QString value;
    QString refusal;
};

Assignment parseAssignment(const QString &text) {
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return {
            QString(), QString(),
            QStringLiteral("--set needs KEY=VALUE, for example --set ServerPing=60; got \"%1\".")
                .arg(text)};
    Assignment assignment{text.left(equals), text.mid(equals + 1), QString()};
    const QString &key = assignment.key;
    const QString &value = assignment.value;
    if (!kKeys.contains(key))
        assignment.refusal = QStringLiteral("Unknown setting \"%1\". The settings are: %2.")
                                 .arg(key, kKeys.join(QStringLiteral(", ")));
    else if (isCheckBoxKey(key) && value != checkBoxText(true) && value != checkBoxText(false))
        assignment.refusal = QStringLiteral("%1 takes True or False; got \"%2\".").arg(key, value);
    else if (key == key::ServerPassword && !isPasswordAccepted(value))
        assignment.refusal = kPasswordTooShortText;
    return assignment;
}

void printSettings(const SettingsStore &store, QTextStream &out) {
    for (const QString &key : kKeys) {
        QString value = store.Read(key);
        if (key == key::ServerPassword)
            value.fill(QLatin1Char('*'));
        out << key << '=' << value << Qt::endl;
    }
}

}  // namespace

void addSettingsOptions(QCommandLineParser &parser) {
    parser.addOption({kListOption, QStringLiteral("Print the stored settings and exit.")});
    parser.addOption({kSetOption,
                      QStringLiteral("Change one stored setting and exit (the password shorter "
                                     "than 9 characters and check boxes other than True or False "
                                     "are refused). May be given more than once."),
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
            err << kNotSavedText << Qt::endl;
            return kNotSaved;
        }
    }
    if (parser.isSet(kListOption))
        printSettings(store, out);
    return kDone;
}

}  // namespace ringwise
