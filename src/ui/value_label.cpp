// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/value_label.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>

namespace ringwise {

ValueLabel::ValueLabel(QWidget *parent) : QLabel(parent) {
    // A long value is cut at the panel's edge instead of widening the panel.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void ValueLabel::setValue(const QString &value) {
    m_value = value;
    setToolTip(value);
    elide();
}

void ValueLabel::resizeEvent(QResizeEvent *event) {
    QLabel::resizeEvent(event);
    elide();
}

void ValueLabel::contextMenuEvent(QContextMenuEvent *event) {
    QMenu menu;
    menu.addAction(QStringLiteral("&Copy"), this,
                   [this] { QGuiApplication::clipboard()->setText(m_value); });
    menu.exec(event->globalPos());
}

void ValueLabel::elide() {
    setText(fontMetrics().elidedText(m_value, Qt::ElideRight, contentsRect().width()));
}

}  // namespace ringwise
