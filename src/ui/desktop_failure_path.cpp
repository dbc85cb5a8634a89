// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/desktop_failure_path.h"

#include "core/load_settings.h"

namespace ringwise {

namespace {

constexpr int kFailureStatus = 1;

}  // namespace

DesktopFailurePath::DesktopFailurePath(QWidget *parent, DesktopHooks hooks,
                                       std::function<void()> showSettingsModally,
                                       std::function<void()> removeTrayIcon, Report divertMessage)
    : m_parent(parent),
      m_hooks(std::move(hooks)),
      m_showSettingsModally(std::move(showSettingsModally)),
      m_removeTrayIcon(std::move(removeTrayIcon)),
      m_divertMessage(std::move(divertMessage)) {}

void DesktopFailurePath::message(MessageIcon icon, const QString &title, const QString &text) {
    if (m_endingSoon) {
        m_hooks.showMessage(m_parent, icon, title, text);
        return;
    }
    QPointer<QWidget> &open = m_openBoxes[title];
    if (open) {
        m_divertMessage(title, text);
        return;
    }
    open = m_hooks.postMessage(m_parent, icon, title, text);
}

void DesktopFailurePath::bringBoxesForward() {
    for (const QPointer<QWidget> &box : std::as_const(m_openBoxes)) {
        if (!box)
            continue;
        box->move(m_parent->frameGeometry().center() - box->rect().center());
        box->raise();
    }
}

void DesktopFailurePath::fatal(FatalKind kind, const QString &title, const QString &text) {
    // The modal boxes run the event loop, so another failure may be reported meanwhile.
    if (m_ended)
        return;
    m_ended = true;
    m_hooks.showMessage(m_parent, MessageIcon::Critical, title, text);
    m_showSettingsModally();
    if (kind == FatalKind::Bind)
        m_hooks.showMessage(m_parent, MessageIcon::Information, kSettingsTitle,
                            QStringLiteral("Your settings are saved. Please restart the "
                                           "application."));
    m_removeTrayIcon();
    m_hooks.endProgram(kFailureStatus);
}

}  // namespace ringwise
