// The main controller as the folder outline's delegate: the status line, the placeholder,
// the folder buttons and the folder commands. Built with the library views.
#include "app/ui/projectViewController.h"

namespace m2 {

void projectViewController::updateStatus() {}

void projectViewController::deleteLibraryFolder() {}

void projectViewController::cloudSettings() {}

void projectViewController::newLibraryFolder(const FolderItemPtr&, const FolderItemPtr&) {}

void projectViewController::editLibraryFolder(const FolderItemPtr&) {}

void projectViewController::prepareNewLibraryFolder(platform::ui::StoryboardSegue&) {}

void projectViewController::prepareEditLibraryFolder(platform::ui::StoryboardSegue&) {}

void projectViewController::prepareCloudSetup(platform::ui::StoryboardSegue&) {}

}  // namespace m2
