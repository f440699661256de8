#include "app/ui/MainStoryboard.h"

#include "app/ui/AboutViewController.h"
#include "app/ui/BatchStoryboard.h"
#include "app/ui/FolderViewController.h"
#include "app/ui/LoginStoryboard.h"
#include "app/ui/MainWindowController.h"
#include "app/ui/SettingsStoryboard.h"
#include "app/ui/projectViewController.h"
#include "platform/ui/Storyboard.h"

namespace m2 {

void registerMainStoryboard(platform::ui::Storyboard& storyboard) {
    storyboard.registerController("mainWindowSausage", [] {
        auto window = std::make_unique<MainWindowController>();
        window->setContentViewController(std::make_unique<projectViewController>());
        return window;
    });
    storyboard.registerController<AboutWindowController>("aboutWindowController");
    storyboard.registerController<FolderViewController>("FolderViewController");
    for (const char* segue : {"newLibraryFolderSeque", "editLibraryFolderSeque"}) {
        storyboard.registerSegue(
            {segue, "FolderViewController", platform::ui::SeguePresentation::sheet});
    }
    registerLoginStoryboard(storyboard);
    registerBatchStoryboard(storyboard);
    registerSettingsStoryboard(storyboard);
}

}  // namespace m2
