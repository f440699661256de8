#include "app/ui/LoginStoryboard.h"

#include "app/services/PasswordCredentials.h"
#include "app/ui/KeyfileViewController.h"
#include "app/ui/LoginViewController.h"
#include "app/ui/ResetMasterPasswordViewController.h"
#include "app/ui/SetupViewController.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"

namespace m2 {

void registerLoginStoryboard(platform::ui::Storyboard& storyboard,
                             PasswordCredentials& credentials) {
    using platform::ui::SeguePresentation;
    PasswordCredentials* const shared = &credentials;
    storyboard.registerController("loginWindowController", [shared] {
        auto window = std::make_unique<platform::ui::WindowController>();
        auto login = std::make_unique<LoginViewController>();
        login->credentials = shared;
        window->setContentViewController(std::move(login));
        return window;
    });
    storyboard.registerController("loginViewController", [shared] {
        auto login = std::make_unique<LoginViewController>();
        login->credentials = shared;
        return login;
    });
    storyboard.registerController("setupViewController", [shared] {
        auto setup = std::make_unique<SetupViewController>();
        setup->credentials = shared;
        return setup;
    });
    storyboard.registerController<ResetMasterPasswordViewController>(
        "resetMasterPasswordViewController");
    storyboard.registerController<KeyfileViewController>("keyfileViewController");

    // The login after a lock is a window of its own: the main window is closed meanwhile.
    storyboard.registerSegue(
        {"loginToMorvaneSegue", "loginViewController", SeguePresentation::modalWindow});
    storyboard.registerSegue(
        {"logoffSegue", "loginViewController", SeguePresentation::modalWindow});
    storyboard.registerSegue({"showInitialSetupSegue", "setupViewController"});
    storyboard.registerSegue({"showResetMasterPasswordSegue", "resetMasterPasswordViewController"});
    storyboard.registerSegue({"resetMasterPasswordSegue", "setupViewController"});
    for (const char* keyfile : {"showKeyfileSegueFromLogin", "showKeyfileSegue"}) {
        storyboard.registerSegue({keyfile, "keyfileViewController"});
    }
    storyboard.setInitialController("loginWindowController");
}

void registerLoginStoryboard(platform::ui::Storyboard& storyboard) {
    registerLoginStoryboard(storyboard, PasswordCredentials::instance());
}

}  // namespace m2
