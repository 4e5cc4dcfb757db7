#pragma once

#include <QStyledItemDelegate>

// Draws the grid lines of a report-style list view: a light line below and to the right of
// every cell.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
