#include "gantrix/app/gantrix_icon.h"

#include <QPainter>

#include "vt5api/ui/drawn_icon.h"

QIcon GantrixIcon() {
    return DrawnIcon([](QPainter& p, qreal s) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1b, 0x2a, 0x4a));
        p.drawEllipse(QRectF(0.5, 0.5, s - 1, s - 1));
        QPen reticle(QColor(0xe0, 0x40, 0x30), qMax<qreal>(1.0, s / 16));
        p.setPen(reticle);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(s * 0.28, s * 0.28, s * 0.44, s * 0.44));
        p.drawLine(QPointF(s * 0.5, s * 0.08), QPointF(s * 0.5, s * 0.3));
        p.drawLine(QPointF(s * 0.5, s * 0.7), QPointF(s * 0.5, s * 0.92));
        p.drawLine(QPointF(s * 0.08, s * 0.5), QPointF(s * 0.3, s * 0.5));
        p.drawLine(QPointF(s * 0.7, s * 0.5), QPointF(s * 0.92, s * 0.5));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xff, 0xf4, 0xc8));
        p.drawEllipse(QPointF(s * 0.54, s * 0.46), s * 0.07, s * 0.07);
    });
}
