#pragma once

#include <QDialog>
#include <functional>

#include "queries/block_list.h"
#include "ui/desktop_hooks.h"

class QLineEdit;
class QTreeWidget;

namespace ringwise {

// The block list with what each entry has blocked, a number and a note to add, and the
// selected entry to remove. A problem (not a number, already listed) is shown in a box.
class BlockListDialog : public QDialog {
    Q_OBJECT
public:
    BlockListDialog(BlockList &list, DesktopHooks hooks, QWidget *parent = nullptr);

private:
    void addEntry();
    void removeSelected();
    void showEntries();
    // Makes the change and shows the list again, or shows its problem; false for a problem.
    bool change(const std::function<BlockList::Parsed()> &action);

    BlockList &m_list;
    DesktopHooks m_hooks;
    QTreeWidget *m_lstEntries = nullptr;
    QLineEdit *m_txtNumber = nullptr;
    QLineEdit *m_txtNote = nullptr;
};

}  // namespace ringwise
