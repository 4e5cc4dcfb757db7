#include "flashwell/app/flashwell_icon.h"

#include <QPainter>
#include <QPainterPath>

#include "vt5api/ui/drawn_icon.h"

QIcon FlashwellIcon() {
    return DrawnIcon([](QPainter& p, qreal s) {
        // The chip and its pins.
        QPen pin(QColor(0x9a, 0xa4, 0xb0), qMax<qreal>(1.0, s / 16));
        p.setPen(pin);
        for (int i = 0; i < 3; ++i) {
            const qreal y = s * (0.42 + 0.16 * i);
            p.drawLine(QPointF(s * 0.08, y), QPointF(s * 0.92, y));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x22, 0x2b, 0x38));
        p.drawRoundedRect(QRectF(s * 0.2, s * 0.32, s * 0.6, s * 0.6), s * 0.06, s * 0.06);
        // The arrow: firmware going in.
        QPainterPath arrow;
        arrow.moveTo(s * 0.42, s * 0.04);
        arrow.lineTo(s * 0.58, s * 0.04);
        arrow.lineTo(s * 0.58, s * 0.4);
        arrow.lineTo(s * 0.72, s * 0.4);
        arrow.lineTo(s * 0.5, s * 0.66);
        arrow.lineTo(s * 0.28, s * 0.4);
        arrow.lineTo(s * 0.42, s * 0.4);
        arrow.closeSubpath();
        p.setBrush(QColor(0xf0, 0xa0, 0x20));
        p.drawPath(arrow);
    });
}
