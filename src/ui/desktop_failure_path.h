// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

#include "call/seams.h"
#include "core/message.h"
#include "core/service.h"
#include "ui/desktop_hooks.h"

namespace ringwise {

// Fulfils the core's requests on the desktop: a message is a box that does not block, one
// per title at a time (a message that comes while its title's box is open goes to the
// device output instead, so failures that repeat cannot pile up boxes);
// a fatal failure is a critical box, the settings dialog where the user can mend the
// cause, the tray icon removed and the end of the program with status 1.
class DesktopFailurePath {
public:
    DesktopFailurePath(QWidget *parent, DesktopHooks hooks,
                       std::function<void()> showSettingsModally,
                       std::function<void()> removeTrayIcon, Report divertMessage);

    void message(MessageIcon icon, const QString &title, const QString &text);
    // From now on each message blocks until it is dismissed: the program is ending, and a box
    // that does not block would close with it unread.
    void endingSoon() { m_endingSoon = true; }
    void fatal(FatalKind kind, const QString &title, const QString &text);
    // Centres the open boxes over the parent and raises them: boxes posted while it was
    // hidden would stay behind it or wherever the screen put them.
    void bringBoxesForward();

    // True from the first fatal request on; later requests are ignored.
    bool hasEnded() const { return m_ended; }

private:
    QWidget *m_parent;
    DesktopHooks m_hooks;
    std::function<void()> m_showSettingsModally;
    std::function<void()> m_removeTrayIcon;
    Report m_divertMessage;
    QHash<QString, QPointer<QWidget>> m_openBoxes;
    bool m_ended = false;
    bool m_endingSoon = false;
};

}  // namespace ringwise
