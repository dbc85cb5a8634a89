// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/block_list_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ringwise {

namespace {

const QString kTitle = QStringLiteral("Block list");

}  // namespace

BlockListDialog::BlockListDialog(Service &service, DesktopHooks hooks, QWidget *parent)
    : QDialog(parent), m_service(service), m_hooks(std::move(hooks)) {
    setWindowTitle(kTitle);
    m_lstEntries = new QTreeWidget;
    m_lstEntries->setObjectName(QStringLiteral("lstBlocked"));
    m_lstEntries->setHeaderLabels({QStringLiteral("Number"), QStringLiteral("Note"),
                                   QStringLiteral("Added"), QStringLiteral("Blocked calls"),
                                   QStringLiteral("Last blocked")});
    m_lstEntries->setRootIsDecorated(false);
    m_lstEntries->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_txtNumber = new QLineEdit;
    m_txtNumber->setObjectName(QStringLiteral("txtBlockNumber"));
    m_txtNumber->setPlaceholderText(QStringLiteral("22334455, or a prefix such as 2233*"));
    m_txtNote = new QLineEdit;
    m_txtNote->setObjectName(QStringLiteral("txtBlockNote"));
    m_txtNote->setMaxLength(BlockEntry::kMaxNoteLength);

    auto *add = new QPushButton(QStringLiteral("&Add"));
    add->setObjectName(QStringLiteral("cmdBlockAdd"));
    auto *remove = new QPushButton(QStringLiteral("&Remove"));
    remove->setObjectName(QStringLiteral("cmdBlockRemove"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->addButton(add, QDialogButtonBox::ActionRole);
    buttons->addButton(remove, QDialogButtonBox::ActionRole);
    connect(add, &QPushButton::clicked, this, &BlockListDialog::addEntry);
    connect(remove, &QPushButton::clicked, this, &BlockListDialog::removeSelected);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Number:"), m_txtNumber);
    form->addRow(QStringLiteral("N&ote:"), m_txtNote);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lstEntries);
    layout->addLayout(form);
    layout->addWidget(buttons);
    showEntries();
}

void BlockListDialog::addEntry() {
    if (!change([this] { return m_service.addBlockEntry(m_txtNumber->text(), m_txtNote->text()); }))
        return;
    m_txtNumber->clear();
    m_txtNote->clear();
}

void BlockListDialog::removeSelected() {
    if (const QTreeWidgetItem *item = m_lstEntries->currentItem())
        change([this, number = item->text(0)] { return m_service.removeBlockEntry(number); });
}

bool BlockListDialog::change(const std::function<QString()> &action) {
    const QString problem = action();
    if (!problem.isEmpty()) {
        m_hooks.showMessage(this, MessageIcon::Warning, kTitle, problem);
        return false;
    }
    showEntries();
    return true;
}

void BlockListDialog::showEntries() {
    m_lstEntries->clear();
    for (const BlockEntry &entry : m_service.blockEntries())
        m_lstEntries->addTopLevelItem(
            new QTreeWidgetItem({entry.number, entry.note, entry.added,
                                 QString::number(entry.blockedCalls), entry.lastBlocked}));
}

}  // namespace ringwise
