#pragma once

namespace m2::platform::ui {
class Storyboard;
}

namespace m2 {

// Puts the main application's controllers and segues into the storyboard: the main window
// "mainWindowSausage" (its content the main controller) and the About window
// "aboutWindowController". The dialogs of the main window add themselves here as they are
// built.
void registerMainStoryboard(platform::ui::Storyboard& storyboard);

}  // namespace m2
