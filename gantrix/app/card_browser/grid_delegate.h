#pragma once

#include <QStyledItemDelegate>

// Draws the grid lines of a report-style list view: a light line below and to the right of
// every cell, in room of their own so that they cover no part of the text.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
