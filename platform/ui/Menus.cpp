#include "platform/ui/Menus.h"

#include <QAction>
#include <QVariant>
#include <QWidget>

namespace m2::platform::ui {
namespace {

constexpr const char* tagProperty = "m2MenuTag";

}  // namespace

void setMenuItemTag(QAction& item, int tag) {
    item.setProperty(tagProperty, tag);
}

int menuItemTag(const QAction& item) {
    return item.property(tagProperty).toInt();
}

int indexOfItemWithTag(const QWidget& menu, int tag) {
    const QList<QAction*> items = menu.actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (menuItemTag(*items[i]) == tag) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QAction* itemWithTag(const QWidget& menu, int tag) {
    const int index = indexOfItemWithTag(menu, tag);
    return index < 0 ? nullptr : menu.actions().at(index);
}

}  // namespace m2::platform::ui
