// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

#include "core/message.h"

class QDialog;
class QWidget;

namespace ringwise {

// What the windows ask of the desktop. Tests replace each piece with a recorder that
// gives the next answer, so no modal box is ever driven.
struct DesktopHooks {
    using ShowMessage = std::function<void(QWidget *parent, MessageIcon icon, const QString &title,
                                           const QString &text)>;
    using ChooseFile = std::function<QString(QWidget *parent, const QString &title,
                                             const QString &preset, const QString &filter)>;

    // A box with an OK button that blocks until it is dismissed.
    ShowMessage showMessage;
    // A box that stays open beside the windows without blocking them; returns the box
    // (deleted when it closes), or nullptr when none was opened.
    using PostMessage = std::function<QWidget *(QWidget *parent, MessageIcon icon,
                                                const QString &title, const QString &text)>;
    PostMessage postMessage;
    // A question box offering `action` beside "Later"; true when the user chose the action.
    std::function<bool(QWidget *parent, const QString &title, const QString &text,
                       const QString &action)>
        ask;
    // Shows the dialog modally and returns when it has been closed.
    std::function<void(QDialog &dialog)> runModal;
    // The file-open dialog: the chosen file with its full path, or empty when cancelled.
    ChooseFile chooseFile;
    // The file-save dialog, the same way.
    ChooseFile chooseSaveFile;
    // False on a desktop without a notification area for the tray icon.
    std::function<bool()> hasNotificationArea;
    // Ends the program's event loop with the status.
    std::function<void(int status)> endProgram;

    // The real message boxes, file dialog, notification area and application.
    static DesktopHooks desktop();
};

}  // namespace ringwise
