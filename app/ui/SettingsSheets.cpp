// The main controller's side of the settings and cloud setup sheets.

#include "app/services/Alerts.h"
#include "app/ui/BusyRefusal.h"
#include "app/ui/CloudSetupViewController.h"
#include "app/ui/projectViewController.h"
#include "platform/ui/Storyboard.h"

namespace m2 {

void projectViewController::cloudSettings() {
    // The sheet changes the folder tree, which a running batch or rescan still walks.
    if (refusedWhileBusy("Could not change cloud folders.")) {
        return;
    }
    performSegueIfDefined("setupCloudProvierSegue", this);
}

void projectViewController::prepareCloudSetup(platform::ui::StoryboardSegue& segue) {
    if (auto* sheet = segue.destinationAs<CloudSetupViewController>()) {
        sheet->cloudManager = cloudManager.get();
        sheet->parentView = this;
    }
}

}  // namespace m2
