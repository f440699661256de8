#include "app/ui/SettingsStoryboard.h"

#include "M2 Launcher/OpenFiles/OpenFileManager.h"
#include "app/library/LibraryManager.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/ChangePasswordViewController.h"
#include "app/ui/CloudSetupViewController.h"
#include "app/ui/PasswordSettingsViewController.h"
#include "app/ui/SettingsViewController.h"
#include "platform/Keychain.h"
#include "platform/ui/Storyboard.h"

namespace m2 {

namespace {

// A null library: the change-password sheet takes the program's own when it is made, so
// that registering the storyboard at start-up does not read the catalogue before the login.
void registerWithLibrary(platform::ui::Storyboard& storyboard, PasswordCredentials& loggedIn,
                         std::shared_ptr<platform::KeychainBackend> keychain,
                         LibraryManager* library) {
    storyboard.registerController<SettingsViewController>("settingsViewController");
    storyboard.registerController<PasswordSettingsViewController>("passwordSettingsViewController");
    storyboard.registerController<CloudSetupViewController>("cloudSetupViewController");
    storyboard.registerController("changePasswordViewController",
                                  [shared = &loggedIn, keychain, libraryPointer = library] {
                                      auto sheet = std::make_unique<ChangePasswordViewController>();
                                      sheet->loggedIn = shared;
                                      sheet->keychain = keychain;
                                      sheet->libraryManager = libraryPointer;
                                      sheet->openForEditing = [](const std::string& path) {
                                          return OpenFileManager::instance().isOpenForEditing(path);
                                      };
                                      return sheet;
                                  });
    storyboard.registerSegue({"showSettingsSegue", "settingsViewController"});
    storyboard.registerSegue({"showPasswordSettingsSegue", "passwordSettingsViewController"});
    storyboard.registerSegue({"showChangePasswordSegue", "changePasswordViewController"});
    storyboard.registerSegue({"setupCloudProvierSegue", "cloudSetupViewController"});
    storyboard.registerSegue({"showKeyfileFromChangePasswordNewSegue", "keyfileViewController"});
    storyboard.registerSegue({"showReportFromPasswordRestSegue", "reportControllerView"});
}

}  // namespace

void registerSettingsStoryboard(platform::ui::Storyboard& storyboard, PasswordCredentials& loggedIn,
                                std::shared_ptr<platform::KeychainBackend> keychain,
                                LibraryManager& library) {
    registerWithLibrary(storyboard, loggedIn, std::move(keychain), &library);
}

void registerSettingsStoryboard(platform::ui::Storyboard& storyboard) {
    registerWithLibrary(storyboard, PasswordCredentials::instance(),
                        platform::secretServiceKeychain(), nullptr);
}

}  // namespace m2
