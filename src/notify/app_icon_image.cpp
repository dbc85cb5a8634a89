// SPDX-License-Identifier: GPL-3.0-or-later
#include "notify/app_icon_image.h"

#include <QPainter>
#include <QPainterPath>

namespace ringwise {

QImage drawAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
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
    return image;
}

}  // namespace ringwise
