#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/library/CloudManager.h"
#include "app/library/LibraryManager.h"
#include "platform/Timer.h"
#include "support/LibraryTesting.h"
#include "support/MemoryOutlineView.h"
#include "support/MemoryTableView.h"

namespace m2::test {

// A library with its views over the library harness, a hand-driven timer clock, and a cloud
// manager over it.
class CloudLibrary : public LibraryHarness {
  public:
    CloudLibrary();
    ~CloudLibrary();
    CloudLibrary(const CloudLibrary&) = delete;
    CloudLibrary& operator=(const CloudLibrary&) = delete;

    // Drains the main queue until the running rescan has applied its plan; false after a
    // bounded wait.
    [[nodiscard]] bool finishRescan();
    // Starts a rescan and waits for it.
    [[nodiscard]] bool rescan();

    // "<folder label>/<file name>" of every library entry, sorted; the folder label is that
    // of the node the entry is filed under ("?" when there is none).
    [[nodiscard]] std::vector<std::string> entries() const;
    // Labels of the cloud subtree, depth first, each indented two spaces per level.
    [[nodiscard]] std::vector<std::string> cloudTree() const;
    [[nodiscard]] FileItemPtr entryNamed(const std::string& name) const;

    std::shared_ptr<platform::ManualTimerScheduler> clock;
    LibraryManager library;
    MemoryOutlineView outline;
    MemoryTableView table;
    FolderOutlineSource outlineSource{library.folderManager};
    LibraryTableSource tableSource{library.fileManager};
    std::unique_ptr<CloudManager> cloud;

  private:
    std::shared_ptr<platform::TimerScheduler> previousClock_;
};

}  // namespace m2::test
