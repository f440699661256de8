#pragma once

#include <functional>
#include <memory>

#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"

namespace m2::test {

// A window made as the program's storyboard makes its windows, its content a T from `make`
// instantiated through the storyboard "Main" (so it can perform segues). Not shown yet; the
// test owns the window, and `content` points into it.
template <class T>
std::unique_ptr<platform::ui::WindowController> windowWithContent(
    T*& content, std::function<std::unique_ptr<T>()> make = [] { return std::make_unique<T>(); }) {
    platform::ui::Storyboard& board = platform::ui::Storyboard::main();
    board.registerController<platform::ui::WindowController>("testWindow");
    board.registerController("testContent", [make] { return make(); });
    auto window = board.instantiate<platform::ui::WindowController>("testWindow");
    window->setContentViewController(board.instantiate<T>("testContent"));
    content = static_cast<T*>(window->contentViewController());
    return window;
}

}  // namespace m2::test
