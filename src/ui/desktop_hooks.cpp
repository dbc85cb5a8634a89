// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/desktop_hooks.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>

namespace ringwise {

namespace {

// Room in a title bar beside the title: the icon and the close button.
constexpr int kTitleBarExtra = 120;

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

void showModalBox(QWidget *parent, MessageIcon icon, const QString &title, const QString &text) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool askBox(QWidget *parent, const QString &title, const QString &text, const QString &action) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QPushButton *chosen = box.addButton(action, QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box.setDefaultButton(chosen);
    box.exec();
    return box.clickedButton() == chosen;
}

QWidget *postBox(QWidget *parent, MessageIcon icon, const QString &title, const QString &text) {
    auto *box = new QMessageBox(boxIcon(icon), title, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    // A box sizes itself to its text; a short text ("2") would cut the title off.
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout())) {
        const int titleWidth = box->fontMetrics().horizontalAdvance(title) + kTitleBarExtra;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    box->show();
    return box;
}

QString chooseDatabaseFile(QWidget *parent, const QString &title, const QString &preset,
                           const QString &filter) {
    return QFileDialog::getOpenFileName(parent, title, preset, filter);
}

}  // namespace

DesktopHooks DesktopHooks::desktop() {
    DesktopHooks hooks;
    hooks.showMessage = showModalBox;
    hooks.postMessage = postBox;
    hooks.ask = askBox;
    hooks.runModal = [](QDialog &dialog) { dialog.exec(); };
    hooks.chooseFile = chooseDatabaseFile;
    hooks.chooseSaveFile = [](QWidget *parent, const QString &title, const QString &preset,
                              const QString &filter) {
        return QFileDialog::getSaveFileName(parent, title, preset, filter);
    };
    hooks.hasNotificationArea = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    hooks.endProgram = [](int status) { QApplication::exit(status); };
    return hooks;
}

}  // namespace ringwise
