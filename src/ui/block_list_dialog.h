// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>

#include "core/service.h"
#include "ui/desktop_hooks.h"

class QLineEdit;
class QTreeWidget;

namespace ringwise {

// The block list with what each entry has blocked, a number and a note to add, and the
// selected entry to remove. A problem (not a number, already listed) is shown in a box.
class BlockListDialog : public QDialog {
    Q_OBJECT
public:
    BlockListDialog(Service &service, DesktopHooks hooks, QWidget *parent = nullptr);

private:
    void addEntry();
    void removeSelected();
    void showEntries();
    // Makes the change and shows the list again, or shows its problem; false for a problem.
    bool change(const std::function<QString()> &action);

    Service &m_service;
    DesktopHooks m_hooks;
    QTreeWidget *m_lstEntries = nullptr;
    QLineEdit *m_txtNumber = nullptr;
    QLineEdit *m_txtNote = nullptr;
};

}  // namespace ringwise
