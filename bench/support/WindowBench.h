#pragma once

#include <memory>
#include <string>

#include "app/services/PasswordCredentials.h"
#include "app/ui/MainStoryboard.h"
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

}  // namespace m2bench
