#pragma once

#include <memory>

namespace m2::platform {
class KeychainBackend;
}
namespace m2::platform::ui {
class Storyboard;
}

namespace m2 {

class LibraryManager;
class PasswordCredentials;

// Puts the general settings sheet ("showSettingsSegue"), the sign-on settings and the change
// of the master password opened from it, and the cloud setup sheet ("setupCloudProvierSegue")
// into the storyboard. The change of the master password re-keys `library` from the
// `loggedIn` password and stores the new one in `keychain`.
void registerSettingsStoryboard(platform::ui::Storyboard& storyboard, PasswordCredentials& loggedIn,
                                std::shared_ptr<platform::KeychainBackend> keychain,
                                LibraryManager& library);
// The same for the program: the session's credentials, the system keyring and the library.
void registerSettingsStoryboard(platform::ui::Storyboard& storyboard);

}  // namespace m2
