#include "vt5api/ui/description_delegate.h"

#include <QLineEdit>

#include "vt5api/options/named_devices.h"
#include "vt5api/ui/ui_text.h"

QWidget* DescriptionDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const {
    if (index.column() != 0) return nullptr;
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void DescriptionDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                       const QModelIndex& index) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (!edit || edit->text().isEmpty()) return;
    const QString serial = index.siblingAtColumn(1).data().toString();
    if (SetNamedDevice(ApiText(serial), ApiText(edit->text()), 0) != 0) return;
    model->setData(index, edit->text());
}
