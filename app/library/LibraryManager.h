#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/library/FileManager.h"
#include "app/library/FolderManager.h"
#include "app/library/LibraryResult.h"
#include "platform/Dispatch.h"
#include "platform/OutlineView.h"
#include "platform/TableView.h"

namespace m2 {

// The library commands of the user interface: it owns the folder-tree model and the library
// list model, holds the folder outline and the library table that show them, checks what the
// selected folder allows, asks before the library loses folders, keeps the outline's counts
// current and saves both catalogue files. Main thread only. Removing entries never touches
// the files on disk.
class LibraryManager {
  public:
    // Catalogue file names, appended as they stand to the Documents folder (or, for
    // noteFilenameOnly, to a folder the user chose).
    inline static const std::string folderViewFilename = "/Morvane/Morvane.m2f";
    inline static const std::string fileViewFilename = "/Morvane/Morvane.m2l";
    inline static const std::string noteFilename = "/Morvane/M2_SecureNotes.m2n";
    inline static const std::string noteFilenameOnly = "/M2_SecureNotes.m2n";

    // The process-wide library, made on first use and never released. While preload() is
    // still reading the catalogue, this waits for it.
    [[nodiscard]] static LibraryManager& instance();
    // Starts making instance() on `worker`, so the catalogue is read while the user types
    // the password. Once per process, before anything asks for instance(); later calls do
    // nothing.
    static void preload(platform::DispatchQueue& worker);
    // Runs `ready` on the main thread once instance() no longer waits: at once when no
    // preload is reading, else from the main queue when it has ended.
    static void whenLoaded(std::function<void()> ready);

    // The summary alert after an add that ended with `failures` entries not added. Shows
    // nothing for addLibraryFolder.
    static void createAndShowFailureMessage(LibraryProcess process,
                                            const std::vector<LibraryResult>& reasons,
                                            int failures);

    // Makes the folder tree model, then the list model (which loads the library file). The
    // program uses instance(); tests make their own.
    LibraryManager();
    LibraryManager(const LibraryManager&) = delete;
    LibraryManager& operator=(const LibraryManager&) = delete;

    FolderManager folderManager;
    FileManager fileManager;
    // Not owned; set once by setupViews.
    platform::TableView* tableView = nullptr;
    platform::OutlineView* folderView = nullptr;

    // Keeps both views, hands them to the models and builds the folder tree.
    void setupViews(platform::OutlineView* outline, platform::TableView* table);
    // Removes the folder, its sub-folders and their entries from the models and saves; false
    // when the tree refuses. The outline rows are the caller's business.
    bool deleteFolder(const FolderItem& folder);
    // The command "delete the selected folder", with its refusal and confirmation.
    void deleteLibraryFolder();
    // Removes these entries from the library, the shown lists and the table, then saves.
    void deleteFiles(const std::vector<FileItemPtr>& files);
    // Removes the entries in the table's selected rows and brings the folders' counts up to
    // date, then saves.
    void deleteFiles();
    // True, after a warning, when files may not be added to the current folder.
    [[nodiscard]] bool isSpecialOrCloudFolderWithMessage();
    // Adds files (or, with `includeFolders`, the contents of folders) chosen in the open
    // panel to the selected folder.
    void addFiles(bool includeFolders);
    // Adds dropped files and the contents of dropped folders to the selected folder, then
    // saves.
    void addDroppedFiles(const std::vector<std::string>& paths);
    void editLibraryFolder(const FolderItem& folder);
    void newLibraryFolder(FolderItemPtr folder, const FolderItemPtr& parent);
    // The entry in the table's selected row of the list the table shows; none without one.
    [[nodiscard]] FileItemPtr getSelectedFile();
    // Opens the selected entry's file with its default application.
    void openSelectedFile();
    // Writes the folder-tree file, then the library file.
    void save();

  private:
    // Sets the folder's count to the entries filed under it and redraws its outline row.
    void refreshCount(const std::string& folderId);
    void reloadOutlineRow(const FolderItem& folder);
};

}  // namespace m2
