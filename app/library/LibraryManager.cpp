#include "app/library/LibraryManager.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "app/library/MainViewServices.h"
#include "app/services/Alerts.h"
#include "platform/Workspace.h"

namespace m2 {
namespace {

// Removes the first entry of each id from `list`, one id after the other in the given order,
// and answers the position each one had at its turn (-1 for an id not found). One pass over
// the list, so a batch's removals cost what they touch.
std::vector<int> removeFirstOfEach(std::vector<FileItemPtr>& list,
                                   const std::vector<std::string>& ids) {
    std::unordered_map<std::string_view, std::vector<std::size_t>> wanted;
    for (const auto& id : ids) {
        wanted.try_emplace(id);
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i]) {
            if (const auto it = wanted.find(list[i]->id); it != wanted.end()) {
                it->second.push_back(i);
            }
        }
    }
    std::unordered_map<std::string_view, std::size_t> taken;
    std::vector<std::size_t> gone;  // original positions already removed, sorted
    std::vector<int> positions;
    for (const auto& id : ids) {
        const auto& at = wanted[id];
        std::size_t& used = taken[id];
        if (used >= at.size()) {
            positions.push_back(-1);
            continue;
        }
        const std::size_t original = at[used++];
        const auto before = std::lower_bound(gone.begin(), gone.end(), original);
        positions.push_back(
            static_cast<int>(original - static_cast<std::size_t>(before - gone.begin())));
        gone.insert(before, original);
    }
    std::vector<bool> drop(list.size(), false);
    for (const auto position : gone) {
        drop[position] = true;
    }
    std::size_t i = 0;
    std::erase_if(list, [&](const FileItemPtr&) { return drop[i++]; });
    return positions;
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
    std::vector<std::string> ids;
    ids.reserve(files.size());
    for (const auto& file : files) {
        ids.push_back(file->id);
    }
    fileManager.library.removeFirstOfEachId(ids);
    // Table rows are positions in the list the table shows, each as it stands at its turn.
    const bool filtered = fileManager.isFiltered;
    const std::vector<int> rows =
        removeFirstOfEach(filtered ? fileManager.filtered : fileManager.currentView(), ids);
    if (filtered) {
        (void)removeFirstOfEach(fileManager.currentView(), ids);
    }
    if (tableView != nullptr) {
        for (const int row : rows) {
            if (row >= 0) {
                tableView->removeRows({static_cast<std::size_t>(row)},
                                      platform::TableAnimation::fade);
            }
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
            std::unordered_map<std::string, std::vector<std::string>> idsByGroup;
            for (const auto& entry : removed) {
                idsByGroup[entry->folder].push_back(entry->id);
            }
            for (const auto& [folderId, ids] : idsByGroup) {
                if (const auto group = fileManager.libraryFolder.find(folderId);
                    group != fileManager.libraryFolder.end()) {
                    (void)removeFirstOfEach(group->second, ids);
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
    // As for addFiles, every end of the drop stops the progress display.
    if (isSpecialOrCloudFolderWithMessage()) {
        stopProgress();
        return;
    }
    const FolderItemPtr folder = folderManager.getSelectedFolder(false);
    if (!folder) {
        stopProgress();
        return;
    }
    // Read and checked off the main thread; the entries join in steps that keep the window
    // answering, and the library file is written with the last.
    fileManager.addFilesInBackground(paths, folder->id, [this, id = folder->id](int) {
        refreshCount(id);
        folderManager.save();
    });
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
    folder->itemCount = static_cast<std::int64_t>(fileManager.library.entriesIn(folderId).size());
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
