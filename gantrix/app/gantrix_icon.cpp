#include "gantrix/app/gantrix_icon.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap Draw(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
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
    return pixmap;
}

}  // namespace

QIcon GantrixIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(Draw(size));
    return icon;
}
