#include "app/ui/ImageCellDelegate.h"

#include "platform/ui/Images.h"

namespace m2 {

ImageCellDelegate::ImageCellDelegate(int imageRole, QObject* parent)
    : QStyledItemDelegate(parent), imageRole_(imageRole) {}

void ImageCellDelegate::initStyleOption(QStyleOptionViewItem* option,
                                        const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const QString name = index.data(imageRole_).toString();
    if (name.isEmpty()) {
        return;
    }
    const QIcon icon = platform::ui::iconNamed(name.toStdString());
    if (icon.isNull()) {
        return;
    }
    option->icon = icon;
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->decorationSize = QSize(16, 16);
}

}  // namespace m2
