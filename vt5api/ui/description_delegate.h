#pragma once

#include <QStyledItemDelegate>

// In-place editing of the named-HC list: only the description (column 0) is editable, and an
// edit is taken only when it ends with text that SetNamedDevice stores; otherwise the row
// keeps its former description. The serial is read from column 1 of the row.
class DescriptionDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
};
