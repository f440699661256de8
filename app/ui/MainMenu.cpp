#include "app/ui/MainMenu.h"

#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "app/ui/AppDelegate.h"
#include "platform/ui/Menus.h"

namespace m2 {
namespace {

using Action = void (AppDelegate::*)(QObject*);

struct Item {
    const char* title;  // nullptr: a separator
    Action action;
    QKeySequence shortcut;
};

QMenu* addMenu(QMenuBar& bar, const char* title, int tag, std::initializer_list<Item> items) {
    QMenu* menu = bar.addMenu(QString::fromUtf8(title));
    if (tag != 0) {
        platform::ui::setMenuItemTag(*menu->menuAction(), tag);
    }
    for (const Item& item : items) {
        if (item.title == nullptr) {
            menu->addSeparator();
            continue;
        }
        QAction* entry = menu->addAction(QString::fromUtf8(item.title));
        entry->setShortcut(item.shortcut);
        QObject::connect(entry, &QAction::triggered, entry, [entry, action = item.action] {
            if (AppDelegate* delegate = AppDelegate::shared()) {
                (delegate->*action)(entry);
            }
        });
    }
    return menu;
}

}  // namespace

void buildMainMenu(QMenuBar& bar) {
    bar.clear();
    addMenu(bar, "Morvane 2", 0,
            {{"About Morvane 2 Riravevovavi", &AppDelegate::OnAbout, {}},
             {nullptr, nullptr, {}},
             {"Preferences…", &AppDelegate::OnPreferences, QKeySequence(Qt::CTRL | Qt::Key_Comma)},
             {nullptr, nullptr, {}},
             {"Quit Morvane 2", &AppDelegate::OnQuit, QKeySequence(Qt::CTRL | Qt::Key_Q)}});
    addMenu(bar, "File", 1002,
            {{"New Library Folder", &AppDelegate::OnNewLibraryFolder,
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)},
             {"Add Files…", &AppDelegate::OnAddLibraryFile, QKeySequence(Qt::CTRL | Qt::Key_O)},
             {"Add Folder Contents…", &AppDelegate::AddFolderContents,
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)},
             {nullptr, nullptr, {}},
             {"Delete Selected Files", &AppDelegate::OnDeleteSelectedFiles, {}},
             {"Delete Selected Folder", &AppDelegate::OnDeleteSelectedFolder, {}}});
    addMenu(bar, "Edit", 1004,
            {{"Select All", &AppDelegate::OnSel, QKeySequence(Qt::CTRL | Qt::Key_A)}});
    addMenu(bar, "Security", 1003,
            {{"Encrypt", &AppDelegate::OnEncrypt, QKeySequence(Qt::CTRL | Qt::Key_E)},
             {"Decrypt", &AppDelegate::OnDecrypt, QKeySequence(Qt::CTRL | Qt::Key_D)},
             {"Shred", &AppDelegate::OnShred, {}}});
    QMenu* notes = addMenu(bar, "Notes", 1001,
                           {{"Add Note", &AppDelegate::OnAddNote, {}},
                            {"Edit Note", &AppDelegate::OnEditNote, {}},
                            {"View Note", &AppDelegate::OnViewNote, {}},
                            {"Delete Note", &AppDelegate::OnDeleteNote, {}}});
    notes->menuAction()->setVisible(false);
    addMenu(bar, "Help", 0,
            {{"Getting Started", &AppDelegate::OnShowGettingStarted, {}},
             {"About Morvane 2 Riravevovavi", &AppDelegate::OnAbout, {}}});
}

}  // namespace m2
