#pragma once

#include <memory>
#include <string>

#include <QCoreApplication>
#include <QTreeView>

#include "app/library/LibraryManager.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/MainStoryboard.h"
#include "app/ui/projectViewController.h"
#include "platform/ui/QtMainQueue.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"

namespace m2bench {

// What a logged-on program has, once its QApplication exists: the Qt main queue (kept alive
// by the answer), the main storyboard with a plain "benchWindow" to hold a view, and the
// master password with hint "hint".
inline std::shared_ptr<m2::platform::ui::QtMainQueue> startLoggedOnWindows(
    const std::string& password) {
    auto mainQueue = m2::platform::ui::QtMainQueue::install();
    auto& board = m2::platform::ui::Storyboard::main();
    m2::registerMainStoryboard(board);
    board.registerController<m2::platform::ui::WindowController>("benchWindow");
    m2::PasswordCredentials::instance().setPassword(Morvane::Security::Secret(password));
    m2::PasswordCredentials::instance().setHint("hint");
    return mainQueue;
}

// A main window over `library` showing its folder labelled `folder`, as the user left it.
struct LibraryWindow {
    std::unique_ptr<m2::platform::ui::WindowController> window;
    m2::projectViewController* view = nullptr;
};

inline LibraryWindow openLibraryWindow(m2::LibraryManager& library, const std::string& folder) {
    LibraryWindow opened;
    auto& board = m2::platform::ui::Storyboard::main();
    opened.window = board.instantiate<m2::platform::ui::WindowController>("benchWindow");
    auto content = std::make_unique<m2::projectViewController>(library);
    content->startupComplete = true;
    opened.window->setContentViewController(std::move(content));
    opened.view = static_cast<m2::projectViewController*>(opened.window->contentViewController());
    opened.window->showWindow();
    QTreeView* tree = opened.view->folderView;
    tree->expandAll();
    for (QModelIndex index = tree->model()->index(0, 0); index.isValid();
         index = tree->indexBelow(index)) {
        if (index.data().toString() == QString::fromStdString(folder)) {
            tree->selectionModel()->select(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
    }
    QCoreApplication::processEvents();
    return opened;
}

}  // namespace m2bench
