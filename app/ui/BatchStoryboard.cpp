#include "app/ui/BatchStoryboard.h"

#include "app/ui/DecryptionPasswordViewController.h"
#include "app/ui/KeyfileViewController.h"
#include "app/ui/PasswordController.h"
#include "app/ui/ReportControllerView.h"
#include "platform/ui/Storyboard.h"

namespace m2 {

void registerBatchStoryboard(platform::ui::Storyboard& storyboard) {
    storyboard.registerController<PasswordController>("passwordController");
    storyboard.registerController<DecryptionPasswordViewController>(
        DecryptionPasswordViewController::storyboardID);
    storyboard.registerController<ReportControllerView>("reportControllerView");
    storyboard.registerController<KeyfileViewController>("keyfileViewController");
    storyboard.registerSegue({"passwordEntrySegue", "passwordController"});
    storyboard.registerSegue(
        {"decryptPasswordSegue", DecryptionPasswordViewController::storyboardID});
    storyboard.registerSegue({"showReportSegue", "reportControllerView"});
    storyboard.registerSegue({PasswordController::keyfileSegue, "keyfileViewController"});
    storyboard.registerSegue(
        {DecryptionPasswordViewController::keyfileSegue, "keyfileViewController"});
}

}  // namespace m2
