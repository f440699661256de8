#pragma once

namespace m2::platform::ui {
class Storyboard;
}

namespace m2 {

class PasswordCredentials;

// Puts the login window (the program's first window, "loginWindowController"), the setup,
// reset and key file sheets and their segues into the storyboard. Their controllers check
// and keep the master password in `credentials`.
void registerLoginStoryboard(platform::ui::Storyboard& storyboard,
                             PasswordCredentials& credentials);
void registerLoginStoryboard(platform::ui::Storyboard& storyboard);

}  // namespace m2
