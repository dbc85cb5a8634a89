// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace ringwise {

// A value in a panel: cut with "…" where the panel ends, whole in its tool tip, and
// selectable; "Copy" in its context menu copies the whole value.
class ValueLabel : public QLabel {
    Q_OBJECT
public:
    explicit ValueLabel(QWidget *parent = nullptr);

    void setValue(const QString &value);
    QString value() const { return m_value; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void elide();

    QString m_value;
};

}  // namespace ringwise
