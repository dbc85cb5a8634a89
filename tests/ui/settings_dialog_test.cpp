#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include "core/paths.h"
#include "core/settings_store.h"
#include "support/temp_environment.h"
#include "ui/settings_dialog.h"
#include "ui/settings_form.h"

using namespace ringwise;

namespace {

QString box(MessageIcon icon, const QString &title, const QString &text) {
    return QStringLiteral("%1|%2|%3").arg(int(icon)).arg(title, text);
}

// Every box the dialog shows; a file dialog answers with nextFile.
struct Recorder {
    QStringList boxes;
    QStringList fileDialogs;
    QString nextFile;

    DesktopHooks hooks() {
        DesktopHooks hooks;
        hooks.showMessage = [this](QWidget *, MessageIcon icon, const QString &title,
                                   const QString &text) { boxes << box(icon, title, text); };
        hooks.chooseFile = [this](QWidget *, const QString &title, const QString &preset,
                                  const QString &filter) {
            fileDialogs << title + '|' + preset + '|' + filter;
            return nextFile;
        };
        return hooks;
    }
};

template <typename T>
T *control(QDialog &dialog, const char *name) {
    T *found = dialog.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

void press(QDialog &dialog, const char *button) {
    QTest::mouseClick(control<QPushButton>(dialog, button), Qt::LeftButton);
}

// What a control shows; a check box as the text it stands for.
QString shownText(QDialog &dialog, const QString &name) {
    if (auto *edit = dialog.findChild<QLineEdit *>(name))
        return edit->text();
    if (auto *list = dialog.findChild<QComboBox *>(name))
        return list->currentText();
    return checkBoxText(dialog.findChild<QCheckBox *>(name)->isChecked());
}

// The whole stored section, so that "nothing written" is exact.
QString storedSection(const QString &path) {
    QSettings file(path, QSettings::IniFormat);
    QStringList lines;
    for (const QString &key : file.allKeys())
        lines << key + '=' + file.value(key).toString();
    return lines.join('\n');
}

// A dialog over a store in a temporary folder, opened once the store holds the test's keys.
struct Fixture {
    test::TempEnvironment env;
    SettingsStore store{defaultSettingsPath()};
    Recorder recorder;
    std::unique_ptr<SettingsDialog> dialog;

    SettingsDialog &open() {
        dialog = std::make_unique<SettingsDialog>(store, recorder.hooks());
        dialog->show();
        return *dialog;
    }
    QString stored() const { return storedSection(env.settingsPath()); }
};

}  // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void fallbacksForMissingKeys_data() {
        QTest::addColumn<QString>("storedKey");
        QTest::addColumn<QString>("storedText");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *name, const QString &key, const char *text,
                            const char *control, const QString &shown) {
            QTest::newRow(name) << key << QString(text) << QString(control) << shown;
        };
        const QString none;
        row("port missing", none, "", "txtDebug0", "6996");
        row("port 8000", key::ServerPort, "8000", "txtDebug0", "8000");
        row("database missing", none, "", "txtDebug1", "<default>");
        row("COM missing", none, "", "cboDebug0", "COM1");
        row("/dev/ttyUSB0", key::ServerCOM, "/dev/ttyUSB0", "cboDebug0", "/dev/ttyUSB0");
        row("ping missing", none, "", "cboDebug1", "");
        row("ping 45", key::ServerPing, "45", "cboDebug1", "45");
        row("auto start missing", none, "", "chkDebug0", "False");
        row("auto start true", key::ServerAutoStart, "true", "chkDebug0", "False");
        row("auto start True", key::ServerAutoStart, "True", "chkDebug0", "True");
        row("lookups missing", none, "", "chkDebug1", "True");
        row("lookups False", key::ServerCheckDGS, "False", "chkDebug1", "False");
        row("lookups yes", key::ServerCheckDGS, "yes", "chkDebug1", "False");
        row("minimized True", key::ServerMinimized, "True", "chkDebug2", "True");
    }
    void fallbacksForMissingKeys() {
        QFETCH(QString, storedKey);
        QFETCH(QString, storedText);
        QFETCH(QString, control);
        QFETCH(QString, shown);
        Fixture f;
        if (!storedKey.isEmpty())
            QVERIFY(f.store.Write(storedKey, storedText));
        SettingsDialog &dialog = f.open();
        if (shown == QLatin1String("<default>"))
            shown = defaultDatabasePath();
        QCOMPARE(shownText(dialog, control), shown);
    }

    void listsAreRefilled() {
        Fixture f;
        QVERIFY(f.store.Write(key::ServerCOM, "COM9"));
        SettingsDialog &dialog = f.open();
        const auto items = [&](const char *name) {
            QStringList texts;
            for (int i = 0; i < control<QComboBox>(dialog, name)->count(); ++i)
                texts << control<QComboBox>(dialog, name)->itemText(i);
            return texts.join(' ');
        };
        QCOMPARE(items("cboDebug0"), QStringLiteral("COM1 COM2 COM3 COM4 COM5 COM6 COM7"));
        QCOMPARE(items("cboDebug1"), QStringLiteral("30 60 90 120 150 180 210 240 270 300"));
        QCOMPARE(shownText(dialog, "cboDebug0"), QStringLiteral("COM9"));
    }

    void passwordRule_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("saved");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("x") << "x" << false;
        QTest::newRow("12345678") << "12345678" << false;
        QTest::newRow("123456789") << "123456789" << true;
        QTest::newRow("eight blanks") << "        " << false;
        QTest::newRow("nine with blanks") << " secret  " << true;
    }
    void passwordRule() {
        QFETCH(QString, password);
        QFETCH(bool, saved);
        Fixture f;
        QVERIFY(f.store.Write(key::ServerPassword, "old-password"));
        SettingsDialog &dialog = f.open();
        control<QLineEdit>(dialog, "txtDebug2")->setText(password);
        control<QLineEdit>(dialog, "txtDebug0")->setText("7000");
        press(dialog, "cmdButton1");

        QCOMPARE(dialog.isVisible(), !saved);
        QCOMPARE(f.store.Read(key::ServerPassword), saved ? password : "old-password");
        QCOMPARE(f.store.Read(key::ServerPort), saved ? "7000" : "");
        if (!saved)
            QCOMPARE(f.recorder.boxes, QStringList{box(MessageIcon::Information, "Settings",
                                                       "Your password must be more than 8 "
                                                       "characters long.")});
        else
            QVERIFY(f.recorder.boxes.isEmpty());
    }

    void textsAreStoredAsTyped() {
        Fixture f;
        SettingsDialog &dialog = f.open();
        control<QLineEdit>(dialog, "txtDebug0")->setText(" port 80 ");
        control<QComboBox>(dialog, "cboDebug0")->setEditText("com9");
        control<QComboBox>(dialog, "cboDebug1")->setEditText("45");
        control<QLineEdit>(dialog, "txtDebug1")->setText("/srv/calls.db");
        control<QCheckBox>(dialog, "chkDebug0")->setChecked(true);
        control<QCheckBox>(dialog, "chkDebug1")->setChecked(false);
        press(dialog, "cmdButton1");

        QCOMPARE(f.stored(), QStringLiteral("Settings/ServerAutoStart=True\n"
                                            "Settings/ServerCOM=com9\n"
                                            "Settings/ServerCheckDGS=False\n"
                                            "Settings/ServerDB=/srv/calls.db\n"
                                            "Settings/ServerMinimized=False\n"
                                            "Settings/ServerPassword=\n"
                                            "Settings/ServerPing=45\n"
                                            "Settings/ServerPort= port 80 "));
    }

    void keysAreWrittenInOrderUntilOneFails_data() {
        QTest::addColumn<int>("failingWrite");
        QTest::addColumn<QStringList>("attempted");
        const QStringList all = {
            "ServerPort=6996",      "ServerDB=/srv/calls.db", "ServerCOM=COM2",
            "ServerPassword=",      "ServerPing=60",          "ServerAutoStart=True",
            "ServerCheckDGS=False", "ServerMinimized=True"};
        QTest::newRow("none fails") << -1 << all;
        QTest::newRow("first fails") << 0 << all.mid(0, 1);
        QTest::newRow("ServerPassword fails") << 3 << all.mid(0, 4);
        QTest::newRow("last fails") << 7 << all;
    }
    void keysAreWrittenInOrderUntilOneFails() {
        QFETCH(int, failingWrite);
        QFETCH(QStringList, attempted);
        SettingsForm form;
        form.port = "6996";
        form.database = "/srv/calls.db";
        form.comPort = "COM2";
        form.ping = "60";
        form.autoStart = true;
        form.checkDirectory = false;
        form.startMinimized = true;
        QStringList writes;
        const bool saved = form.save([&](const QString &key, const QString &text) {
            writes << key + '=' + text;
            return writes.size() - 1 != failingWrite;
        });
        QCOMPARE(saved, failingWrite < 0);
        QCOMPARE(writes, attempted);
    }

    void refusedWriteIsReportedAndCloses() {
        test::TempEnvironment env;
        // A folder where the file should be: the store refuses every write.
        QVERIFY(QDir().mkpath(env.filePath("settings-folder")));
        SettingsStore store(env.filePath("settings-folder"));
        Recorder recorder;
        SettingsDialog dialog(store, recorder.hooks());
        dialog.show();
        press(dialog, "cmdButton1");
        QCOMPARE(recorder.boxes, QStringList{box(MessageIcon::Warning, "Settings",
                                                 "The changes could not be saved.")});
        QVERIFY(!dialog.isVisible());
    }

    void cancelWritesNothing() {
        Fixture f;
        QVERIFY(f.store.Write(key::ServerPing, "120"));
        const QString before = f.stored();
        SettingsDialog &dialog = f.open();
        control<QLineEdit>(dialog, "txtDebug0")->setText("1234");
        control<QLineEdit>(dialog, "txtDebug2")->setText("short");
        control<QCheckBox>(dialog, "chkDebug1")->setChecked(false);
        press(dialog, "cmdButton0");
        QVERIFY(!dialog.isVisible());
        QVERIFY(f.recorder.boxes.isEmpty());
        QCOMPARE(f.stored(), before);
    }

    void browsePutsTheChosenFileInTheField_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("field");
        QTest::newRow("/srv/calls.db") << QString("/srv/calls.db") << QString("/srv/calls.db");
        QTest::newRow("cancelled") << QString() << QString("/old/calls.db");
    }
    void browsePutsTheChosenFileInTheField() {
        QFETCH(QString, chosen);
        QFETCH(QString, field);
        Fixture f;
        QVERIFY(f.store.Write(key::ServerDB, "/old/calls.db"));
        const QString before = f.stored();
        f.recorder.nextFile = chosen;
        SettingsDialog &dialog = f.open();
        press(dialog, "cmdButton2");
        QCOMPARE(f.recorder.fileDialogs,
                 QStringList{"Open Ringwise database.|" + defaultDatabasePath() +
                             "|Ringwise database (*.db);;All files (*)"});
        QCOMPARE(control<QLineEdit>(dialog, "txtDebug1")->text(), field);
        QCOMPARE(f.stored(), before);
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
