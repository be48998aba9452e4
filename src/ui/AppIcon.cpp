// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppIcon.h"

#include <QPainter>
#include <QPainterPath>

QPixmap PaintAppIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x3a, 0x5f));
    p.drawRoundedRect(QRectF(0.03 * s, 0.03 * s, 0.94 * s, 0.94 * s), 0.16 * s, 0.16 * s);

    // The scale: an arc over the lower centre, its last part red.
    const QRectF dial(0.16 * s, 0.26 * s, 0.68 * s, 0.68 * s);
    QPen scale(QColor(0xf4, 0xf1, 0xe8), std::max(1.0, 0.07 * s), Qt::SolidLine, Qt::FlatCap);
    p.setPen(scale);
    p.drawArc(dial, 50 * 16, 110 * 16);
    scale.setColor(QColor(0xd2, 0x32, 0x2d));
    p.setPen(scale);
    p.drawArc(dial, 20 * 16, 30 * 16);

    // The needle, from the pivot towards the top right.
    const QPointF pivot(0.5 * s, 0.6 * s);
    p.setPen(QPen(QColor(0xff, 0xc8, 0x3d), std::max(1.0, 0.06 * s), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(pivot, QPointF(0.7 * s, 0.3 * s));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xc8, 0x3d));
    p.drawEllipse(pivot, 0.07 * s, 0.07 * s);
    return pixmap;
}

QIcon AppIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(PaintAppIcon(size));
    return icon;
}
