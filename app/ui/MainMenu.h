#pragma once

class QMenuBar;

namespace m2 {

// Fills the main window's menu bar. Every item calls the application delegate's action of
// the same name (nothing without a delegate). The top-level items that follow the view carry
// their tags: 1001 the notes menu, 1002 and 1003 the library's file and security menus, 1004
// the edit menu; the window opens in the library view, so 1001 starts hidden.
void buildMainMenu(QMenuBar& bar);

}  // namespace m2
