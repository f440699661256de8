#pragma once

class QAction;
class QWidget;

namespace m2::platform::ui {

// Menu items carry an integer tag, as the views find the items they show and hide by it.
void setMenuItemTag(QAction& item, int tag);
// 0 when the item has no tag.
[[nodiscard]] int menuItemTag(const QAction& item);

// Among the items of a menu bar or menu (not their submenus): the index of the first item
// with the tag, or -1; the item itself, or nullptr.
[[nodiscard]] int indexOfItemWithTag(const QWidget& menu, int tag);
[[nodiscard]] QAction* itemWithTag(const QWidget& menu, int tag);

}  // namespace m2::platform::ui
