#include "app/ui/MainStoryboard.h"

#include "app/ui/AboutViewController.h"
#include "app/ui/BatchStoryboard.h"
#include "app/ui/FolderViewController.h"
#include "app/ui/LoginStoryboard.h"
#include "app/ui/MainWindowController.h"
#include "app/ui/NoteItemViewController.h"
#include "app/ui/NotesSetupController.h"
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

    // The notes view's sheets: the editor from the main window's toolbar, the setup sheet
    // from the main controller.
    storyboard.registerController<NoteItemViewController>("noteItemController");
    storyboard.registerController<NotesSetupController>("notesSetupController");
    using platform::ui::SeguePresentation;
    storyboard.registerSegue({"addNoteSeque", "noteItemController", SeguePresentation::sheet});
    storyboard.registerSegue({"editNoteSeque", "noteItemController", SeguePresentation::sheet});
    storyboard.registerSegue({"notesSetupSegue", "notesSetupController", SeguePresentation::sheet});
    registerLoginStoryboard(storyboard);
    registerBatchStoryboard(storyboard);
    registerSettingsStoryboard(storyboard);
}

}  // namespace m2
