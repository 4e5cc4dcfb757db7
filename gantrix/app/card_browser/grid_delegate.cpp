#include "gantrix/app/card_browser/grid_delegate.h"

#include <QPainter>

namespace {

constexpr int kLineRoom = 2;

}  // namespace

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    QStyleOptionViewItem inner = option;
    inner.rect.adjust(0, 0, -kLineRoom, -kLineRoom);
    QStyledItemDelegate::paint(painter, inner, index);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Midlight));
    const QRect& r = option.rect;
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->drawLine(r.topRight(), r.bottomRight());
    painter->restore();
}

QSize GridDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(kLineRoom, kLineRoom);
}
