#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ringwise {

namespace {

QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x5f, 0xa8));
    painter.drawEllipse(QRectF(2, 2, 60, 60));

    // The handset: two ear pieces joined by a curved grip.
    QPainterPath handset;
    handset.moveTo(16, 38);
    handset.cubicTo(16, 26, 48, 26, 48, 38);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(handset);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(10, 36, 14, 9), 3, 3);
    painter.drawRoundedRect(QRectF(40, 36, 14, 9), 3, 3);

    // The rings above it.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(QRectF(24, 10, 16, 16), 30 * 16, 120 * 16);
    painter.drawArc(QRectF(18, 4, 28, 28), 40 * 16, 100 * 16);
    return pixmap;
}

}  // namespace

QIcon appIcon() {
    QIcon icon;
    for (const int size : {16, 32, 64})
        icon.addPixmap(drawIcon(size));
    return icon;
}

}  // namespace ringwise
