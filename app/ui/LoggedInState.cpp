// The main controller's logged-in state: login, lock and the idle check. Built with the
// login window, which is what enters and leaves this state.
#include "app/ui/projectViewController.h"

namespace m2 {

void projectViewController::login() {}

void projectViewController::logoff() {}

void projectViewController::updateIdle() {}

void projectViewController::observingCloud(bool) {}

void projectViewController::decryptAndOpenFile(const std::string&, const std::string&, bool) {}

void projectViewController::prepareLogin(platform::ui::StoryboardSegue&) {}

}  // namespace m2
