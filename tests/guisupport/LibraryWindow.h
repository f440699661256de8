#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "app/library/LibraryManager.h"
#include "app/ui/projectViewController.h"
#include "platform/ui/WindowController.h"

namespace m2::test {

// The library window over `library`, its content made through the storyboard "Main" (so it
// can perform segues; the test registers the storyboards it needs first). Not shown yet; the
// test owns the window, and `view` points into it.
[[nodiscard]] std::unique_ptr<platform::ui::WindowController> libraryWindow(
    LibraryManager& library, projectViewController*& view);

// Shows the window at the size the screenshots are taken at (1000x640); false when it was
// not exposed in time.
[[nodiscard]] bool showExposed(platform::ui::WindowController& window);

// Selects the folder with this label in the window's folder tree (expanded first); false
// when the tree shows no such folder.
[[nodiscard]] bool selectFolder(projectViewController& view, const QString& label);

// The file names the window's table shows, top to bottom.
[[nodiscard]] std::vector<std::string> shownNames(const projectViewController& view);
// The file names in the table's selected rows, top to bottom.
[[nodiscard]] std::vector<std::string> selectedNames(const projectViewController& view);
// The table row showing this file name; -1 when none does.
[[nodiscard]] int rowOf(const projectViewController& view, const std::string& name);

}  // namespace m2::test
