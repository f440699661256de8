#include "app/library/LibraryManager.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>

#include "app/library/MainViewServices.h"
#include "app/services/Alerts.h"
#include "platform/Workspace.h"

namespace m2 {
namespace {

// Removes the first entry with the given id; answers its position, or -1.
int removeFirstWithId(std::vector<FileItemPtr>& list, const std::string& id) {
    const auto found =
        std::find_if(list.begin(), list.end(), [&](const FileItemPtr& e) { return e->id == id; });
    if (found == list.end()) {
        return -1;
    }
    const auto position = static_cast<int>(found - list.begin());
    list.erase(found);
    return position;
}

// The program's library as preload() and instance() make it, and who waits for it.
struct CatalogueLoad {
    enum class State { notStarted, reading, made };
    std::mutex mutex;
    std::condition_variable madeNow;
    State state = State::notStarted;
    LibraryManager* made = nullptr;
    std::vector<std::function<void()>> waiting;  // main-thread work for when it is made
};

CatalogueLoad& catalogueLoad() {
    static auto* const load = new CatalogueLoad();  // reached from the worker; never released
    return *load;
}

void stopProgress() {
    if (MainViewServices* view = mainView()) {
        view->stopProgress();
    }
}

}  // namespace

void LibraryManager::createAndShowFailureMessage(LibraryProcess process,
                                                 const std::vector<LibraryResult>& reasons,
                                                 int failures) {
    if (process != LibraryProcess::addLibraryFiles) {
        return;
    }
    const auto duplicates =
        std::count(reasons.begin(), reasons.end(), LibraryResult::fileAlreadyExists);
    // The word follows the failure count in both texts, whatever the duplicate count.
    const std::string word = failures <= 1 ? "file" : "files";
    const std::string message = word + " could not be added to your library.";
    const std::string details = duplicates > 0 ? std::to_string(duplicates) + " " + word +
                                                     " are already included within your library"
                                               : std::string();
    warningAlert(message, details);
}

LibraryManager& LibraryManager::instance() {
    // Made once, even when several threads ask together; never destroyed, as views and
    // queued work may still reach it while the program ends.
    static LibraryManager* const shared = [] {
        CatalogueLoad& load = catalogueLoad();
        std::unique_lock lock(load.mutex);
        load.madeNow.wait(lock, [&load] { return load.state != CatalogueLoad::State::reading; });
        if (load.state == CatalogueLoad::State::notStarted) {
            // No preload, or one that threw: made here, and a throw reaches the caller.
            load.made = new LibraryManager();
            load.state = CatalogueLoad::State::made;
        }
        return load.made;
    }();
    return *shared;
}

void LibraryManager::preload(platform::DispatchQueue& worker) {
    CatalogueLoad& load = catalogueLoad();
    {
        const std::lock_guard lock(load.mutex);
        if (load.state != CatalogueLoad::State::notStarted) {
            return;
        }
        load.state = CatalogueLoad::State::reading;
    }
    worker.async([&load] {
        LibraryManager* made = nullptr;
        try {
            made = new LibraryManager();
        } catch (const std::exception& error) {
            std::printf("Could not read the library in advance: %s\n", error.what());
        } catch (...) {
            std::printf("Could not read the library in advance\n");
        }
        {
            // Failed: instance() reads it again itself rather than wait for ever.
            const std::lock_guard lock(load.mutex);
            load.made = made;
            load.state =
                made != nullptr ? CatalogueLoad::State::made : CatalogueLoad::State::notStarted;
        }
        load.madeNow.notify_all();
        platform::Dispatch::main().async([&load] {
            std::vector<std::function<void()>> ready;
            {
                const std::lock_guard lock(load.mutex);
                ready.swap(load.waiting);
            }
            for (const auto& work : ready) {
                work();
            }
        });
    });
}

void LibraryManager::whenLoaded(std::function<void()> ready) {
    CatalogueLoad& load = catalogueLoad();
    {
        const std::lock_guard lock(load.mutex);
        if (load.state == CatalogueLoad::State::reading) {
            load.waiting.push_back(std::move(ready));
            return;
        }
    }
    ready();
}

LibraryManager::LibraryManager() = default;

void LibraryManager::setupViews(platform::OutlineView* outline, platform::TableView* table) {
    folderView = outline;
    tableView = table;
    folderManager.folderView = outline;
    fileManager.tableView = table;
    folderManager.initItems();
}

bool LibraryManager::deleteFolder(const FolderItem& folder) {
    std::vector<FolderItemPtr> below;
    folderManager.getAllChildren(folder, below);
    std::vector<std::string> ids;
    for (const auto& child : below) {
        ids.push_back(child->id);
    }
    ids.push_back(folder.id);
    if (!folderManager.deleteFolder(folder)) {
        return false;
    }
    for (const auto& id : ids) {
        fileManager.folderDelete(id);
    }
    save();
    return true;
}

void LibraryManager::deleteLibraryFolder() {
    const FolderItemPtr folder = folderManager.getSelectedFolder(false);
    if (!folder) {
        return;
    }
    if (folderManager.isSpecial(*folder)) {
        warningAlert("You can not delete this folder");
        return;
    }
    if (!yesNoAlert(
            "Are you sure you would like to delete the selected folder?",
            "All sub-folders and associated files will also be deleted from your library")) {
        return;
    }
    folderView->beginUpdates();
    const int row = folderView->selectedRow();
    const FolderItemPtr parent = folderManager.find(folder->parent);
    const int position = parent ? folderManager.indexOf(*parent, *folder) : -1;
    // A folder whose parent is not in the tree has no outline row to take away: refuse it
    // rather than leave the outline and the tree apart.
    if (position >= 0 && deleteFolder(*folder)) {
        folderView->removeItems({static_cast<std::size_t>(position)}, parent.get(),
                                platform::OutlineAnimation::slideLeft);
        if (row > 0) {
            folderView->selectRowIndexes({static_cast<std::size_t>(row - 1)}, true);
        }
        folderView->reloadItem(parent.get(), true);
    } else {
        warningAlert("Could not delete folder");
    }
    folderView->endUpdates();
    save();
}

void LibraryManager::deleteFiles(const std::vector<FileItemPtr>& files) {
    for (const auto& file : files) {
        (void)removeFirstWithId(fileManager.library, file->id);
    }
    // Table rows are positions in the list the table shows.
    const bool filtered = fileManager.isFiltered;
    for (const auto& file : files) {
        auto& shown = filtered ? fileManager.filtered : fileManager.currentView();
        const int row = removeFirstWithId(shown, file->id);
        if (filtered) {
            (void)removeFirstWithId(fileManager.currentView(), file->id);
        }
        if (row >= 0 && tableView != nullptr) {
            tableView->removeRows({static_cast<std::size_t>(row)}, platform::TableAnimation::fade);
        }
    }
    save();
}

void LibraryManager::deleteFiles() {
    if (const FolderItemPtr folder = folderManager.getSelectedFolder(false)) {
        if (!folderManager.isSpecial(*folder)) {
            fileManager.deleteFiles();
            folder->itemCount = static_cast<std::int64_t>(fileManager.currentView().size());
            if (folderView != nullptr && folderView->selectedRow() >= 0) {
                folderView->reloadRows({static_cast<std::size_t>(folderView->selectedRow())}, {0});
            }
        } else {
            // A special folder lists entries filed under other folders: their counts change.
            std::vector<FileItemPtr> removed;
            if (tableView != nullptr) {
                const auto& shown = fileManager.shownList();
                for (const auto row : tableView->selectedRowIndexes()) {
                    if (row < shown.size() && !shown[row]->cloudFile) {
                        removed.push_back(shown[row]);
                    }
                }
            }
            fileManager.deleteFiles();
            for (const auto& entry : removed) {
                if (const auto group = fileManager.libraryFolder.find(entry->folder);
                    group != fileManager.libraryFolder.end()) {
                    (void)removeFirstWithId(group->second, entry->id);
                }
            }
            for (const auto& entry : removed) {
                const FolderItemPtr owner = folderManager.find(entry->folder);
                const auto group = fileManager.libraryFolder.find(entry->folder);
                if (owner && group != fileManager.libraryFolder.end()) {
                    owner->itemCount = static_cast<std::int64_t>(group->second.size());
                    reloadOutlineRow(*owner);
                }
            }
        }
    }
    save();
}

bool LibraryManager::isSpecialOrCloudFolderWithMessage() {
    const FolderItemPtr& current = folderManager.current;
    if (!current) {
        return true;  // no folder to add to
    }
    if (folderManager.isSpecial(*current)) {
        warningAlert("You can not add files to your Home, Favourite or Encrypted folder");
        return true;
    }
    if (current->isCloudFolder) {
        warningAlert("You cannot add files to a cloud folder",
                     "To add files to your cloud folder: \n\n1) Open your cloud folder on your "
                     "computer\n2) Add the required files or folders.\n\nMorvane will "
                     "automatically refresh your library.");
        return true;
    }
    return false;
}

void LibraryManager::addFiles(bool includeFolders) {
    // The main view showed its progress display before asking; every refusal ends it.
    if (isSpecialOrCloudFolderWithMessage()) {
        stopProgress();
        return;
    }
    const FolderItemPtr folder = folderManager.getSelectedFolder(false);
    if (!folder) {
        stopProgress();
        return;
    }
    // The count is set when the entries have joined the library, not while they are read.
    fileManager.addFilesFromFinder(includeFolders, folder->id,
                                   [this, id = folder->id](int) { refreshCount(id); });
}

void LibraryManager::addDroppedFiles(const std::vector<std::string>& paths) {
    if (isSpecialOrCloudFolderWithMessage()) {
        return;
    }
    if (const FolderItemPtr folder = folderManager.getSelectedFolder(false)) {
        fileManager.addFilesByUrl(paths, true, folder->id,
                                  [this, id = folder->id](int) { refreshCount(id); });
    }
    save();
}

void LibraryManager::editLibraryFolder(const FolderItem& folder) {
    folderManager.editLibraryFolder(folder);
}

void LibraryManager::newLibraryFolder(FolderItemPtr folder, const FolderItemPtr& parent) {
    folderManager.newLibraryFolder(std::move(folder), parent);
}

FileItemPtr LibraryManager::getSelectedFile() {
    if (tableView == nullptr) {
        return nullptr;
    }
    const int row = tableView->selectedRow();
    const auto& shown = fileManager.shownList();
    if (row < 0 || static_cast<std::size_t>(row) >= shown.size()) {
        return nullptr;
    }
    return shown[static_cast<std::size_t>(row)];
}

void LibraryManager::openSelectedFile() {
    if (const FileItemPtr entry = getSelectedFile()) {
        (void)platform::workspace().openFile(entry->filePath + "/" + entry->fileName);
    }
}

void LibraryManager::save() {
    folderManager.save();
    fileManager.save();
}

void LibraryManager::refreshCount(const std::string& folderId) {
    const FolderItemPtr folder = folderManager.find(folderId);
    if (!folder) {
        return;
    }
    folder->itemCount = std::count_if(fileManager.library.begin(), fileManager.library.end(),
                                      [&](const FileItemPtr& e) { return e->folder == folderId; });
    reloadOutlineRow(*folder);
}

void LibraryManager::reloadOutlineRow(const FolderItem& folder) {
    if (folderView != nullptr) {
        // Counted over the whole outline, so folders of the cloud subtree get their own row.
        const int row = folderManager.currentIndexOf(folder, true);
        folderView->reloadRows({static_cast<std::size_t>(std::max(row, 0))}, {0});
    }
}

}  // namespace m2
