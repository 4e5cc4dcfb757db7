#include "vt5api/ui/drawn_icon.h"

#include <QPainter>
#include <QPixmap>

QIcon DrawnIcon(const std::function<void(QPainter& p, qreal size)>& draw) {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, size);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
