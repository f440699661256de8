#include "app/library/FileManager.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <set>
#include <utility>

#include "app/library/CloudType.h"
#include "app/library/FileReader.h"
#include "app/library/FolderManager.h"
#include "app/library/LibraryManager.h"
#include "app/library/MainViewServices.h"
#include "app/library/SaveFailures.h"
#include "platform/AtomicWrite.h"
#include "platform/Dispatch.h"
#include "platform/OpenPanel.h"
#include "platform/PathString.h"
#include "platform/Text.h"
#include "platform/Workspace.h"

namespace m2 {
namespace {

namespace fs = std::filesystem;
using platform::RowIndexes;

constexpr std::array<std::pair<FileManager::sortOrder, const char*>, 5> kSortKeys{{
    {FileManager::sortOrder::favourite, "favourite"},
    {FileManager::sortOrder::fileName, "fileName"},
    {FileManager::sortOrder::encrypted, "encrypted"},
    {FileManager::sortOrder::filePath, "filePath"},
    {FileManager::sortOrder::filesize, "filesize"},
}};

// Removes from `list` the first entry of each id, keeping the order of the rest. One pass,
// so large libraries stay quick.
void removeFirstOfEachId(std::vector<FileItemPtr>& list, const std::vector<std::string>& ids) {
    if (ids.empty()) {
        return;
    }
    std::unordered_map<std::string, int> pending;
    for (const auto& id : ids) {
        ++pending[id];
    }
    std::erase_if(list, [&](const FileItemPtr& entry) {
        const auto it = pending.find(entry->id);
        if (it == pending.end() || it->second == 0) {
            return false;
        }
        --it->second;
        return true;
    });
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string appendingComponent(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Every path below `folder`, each folder before its contents, names in byte order. Links to
// folders are listed but not entered, and a folder reached twice (a bind mount loop) is not
// entered again. Unreadable sub-folders are skipped; false when `folder` itself cannot be
// listed.
bool walkFolder(const std::string& folder, std::vector<std::string>& out,
                std::set<std::pair<dev_t, ino_t>>& visited) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !visited.insert({info.st_dev, info.st_ino}).second) {
        return false;
    }
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    if (ec) {
        return false;
    }
    std::vector<std::pair<std::string, bool>> entries;  // name, a real folder (not a link)
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            break;
        }
        const bool realFolder = it->is_directory(ec) && !it->is_symlink(ec);
        entries.emplace_back(it->path().filename().string(), realFolder);
    }
    std::sort(entries.begin(), entries.end());
    for (const auto& [name, realFolder] : entries) {
        const std::string full = appendingComponent(folder, name);
        out.push_back(full);
        if (realFolder) {
            (void)walkFolder(full, out, visited);
        }
    }
    return true;
}

FileItemPtr makeEntry(const std::string& path, const std::string& parentFolder,
                      const std::string& url, bool cloudFile) {
    const std::string name = platform::lastPathComponent(path);
    if (FileManager::isSystemName(name)) {
        return nullptr;
    }
    return std::make_shared<FileItem>(url, name, parentFolder,
                                      name.find(".m2p") != std::string::npos, false,
                                      platform::deletingLastPathComponent(path), cloudFile);
}

template <typename Key>
void sortByKey(std::vector<FileItemPtr>& list, bool ascending, Key key) {
    using K = decltype(key(*list.front()));
    std::vector<std::pair<K, FileItemPtr>> keyed;
    keyed.reserve(list.size());
    for (auto& entry : list) {
        keyed.emplace_back(key(*entry), std::move(entry));
    }
    // Stable in both directions: entries that compare equal keep their order.
    std::stable_sort(keyed.begin(), keyed.end(), [ascending](const auto& a, const auto& b) {
        return ascending ? a.first < b.first : b.first < a.first;
    });
    for (std::size_t i = 0; i < list.size(); ++i) {
        list[i] = std::move(keyed[i].second);
    }
}

void sortList(std::vector<FileItemPtr>& list, FileManager::sortOrder order, bool ascending) {
    if (list.empty()) {
        return;
    }
    using Order = FileManager::sortOrder;
    switch (order) {
        case Order::favourite:
            sortByKey(list, ascending, [](const FileItem& e) { return e.favorite; });
            break;
        case Order::encrypted:
            sortByKey(list, ascending, [](const FileItem& e) { return e.encrypted; });
            break;
        case Order::fileName:
            sortByKey(list, ascending,
                      [](const FileItem& e) { return platform::lowercased(e.fileName); });
            break;
        case Order::filePath:
            sortByKey(list, ascending,
                      [](const FileItem& e) { return platform::lowercased(e.filePath); });
            break;
        case Order::filesize:
            sortByKey(list, ascending,
                      [](const FileItem& e) { return platform::lowercased(e.size); });
            break;
    }
}

}  // namespace

std::optional<FileManager::sortOrder> FileManager::sortOrderFromRawValue(std::string_view text) {
    for (const auto& [order, key] : kSortKeys) {
        if (text == key) {
            return order;
        }
    }
    return std::nullopt;
}

std::string FileManager::rawValue(sortOrder order) {
    for (const auto& [candidate, key] : kSortKeys) {
        if (candidate == order) {
            return key;
        }
    }
    return {};
}

FileManager::FileManager() : currentFilter(FolderManager::home) {
    if (auto loaded = FileReader::load()) {
        library = std::move(*loaded);
        sortIntoFolders();
    }
    // What a killed save or re-keying of an earlier run left beside the documents goes, off
    // the main thread.
    std::vector<std::string> folders;
    for (const auto& item : library) {
        if (item && std::find(folders.begin(), folders.end(), item->filePath) == folders.end()) {
            folders.push_back(item->filePath);
        }
    }
    platform::Dispatch::global(platform::QualityOfService::background)
        .async([folders = std::move(folders)] {
            for (const std::string& folder : folders) {
                (void)platform::removeLeftoverTemporaries(folder);
            }
        });
}

FileManager::~FileManager() {
    *alive_ = false;
}

std::vector<FileItemPtr>& FileManager::currentView() {
    return libraryFolder[currentFilter];
}

void FileManager::setCurrentView(std::vector<FileItemPtr> list) {
    libraryFolder[currentFilter] = std::move(list);
}

const std::vector<FileItemPtr>& FileManager::shownList() {
    return isFiltered ? filtered : currentView();
}

bool FileManager::updateItem(const FileItem& item, const std::string& filename, bool encrypted) {
    FileItem* const found = library.findId(item.id);
    if (found == nullptr) {
        return false;
    }
    FileItem& entry = *found;
    std::string name = platform::lastPathComponent(filename);
    std::string directory = platform::deletingLastPathComponent(filename);
    // The shown list holds the same objects unless it was rebuilt from another load.
    FileItem* const shown = shownEntryWithId(item.id);
    if (shown != nullptr && shown != &entry) {
        shown->fileName = name;
        shown->filePath = directory;
        shown->absolutePath = filename;
    }
    library.rename(entry, std::move(name), std::move(directory));
    entry.absolutePath = filename;
    entry.encrypted = encrypted;
    return true;
}

FileItem* FileManager::shownEntryWithId(const std::string& id) {
    // Look the list up without creating it.
    const auto slot = libraryFolder.find(currentFilter);
    if (slot == libraryFolder.end()) {
        return nullptr;
    }
    const auto& view = slot->second;
    const auto lookUp = [&]() -> FileItem* {
        const auto row = shownRows_.rows.find(id);
        if (row == shownRows_.rows.end() || row->second >= view.size()) {
            return nullptr;
        }
        const FileItemPtr& at = view[row->second];
        return at && at->id == id ? at.get() : nullptr;
    };
    if (shownRows_.list == &view && shownRows_.data == view.data() &&
        shownRows_.size == view.size()) {
        // A miss stands; a row that no longer holds the id moved in place (a sort).
        if (!shownRows_.rows.contains(id)) {
            return nullptr;
        }
        if (FileItem* hit = lookUp()) {
            return hit;
        }
    }
    shownRows_.rows.clear();
    shownRows_.held = view;
    shownRows_.list = &view;
    shownRows_.data = view.data();
    shownRows_.size = view.size();
    shownRows_.rows.reserve(view.size());
    for (std::size_t row = 0; row < view.size(); ++row) {
        if (view[row]) {
            shownRows_.rows.try_emplace(view[row]->id, row);
        }
    }
    return lookUp();
}

void FileManager::toggleFavourite() {
    if (tableView == nullptr) {
        return;
    }
    // No selected row, nothing to flip.
    const int row = tableView->selectedRow();
    if (row >= 0) {
        toggleFavourite(static_cast<std::size_t>(row));
    }
}

void FileManager::toggleFavourite(std::size_t row) {
    // Rows are positions in the list the table shows.
    const auto& shown = shownList();
    if (row >= shown.size()) {
        return;
    }
    const FileItemPtr entry = shown[row];
    entry->favorite = !entry->favorite;
    if (FileItem* inLibrary = library.findId(entry->id)) {
        inLibrary->favorite = entry->favorite;
    }
    if (tableView != nullptr) {
        tableView->reloadRows({row}, {0});
    }
}

void FileManager::sortIntoFolders() {
    libraryFolder.clear();
    for (const auto& entry : library) {
        libraryFolder[entry->folder].push_back(entry);
    }
}

void FileManager::sort(sortOrder order, bool acending) {
    shownSort_ = std::make_pair(order, acending);
    sortList(currentView(), order, acending);
    // The table shows the search result while a search is on; it sorts with the view.
    if (isFiltered) {
        sortList(filtered, order, acending);
    }
}

void FileManager::save() {
    std::string reason;
    const bool saved = FileReader::save(library, &reason);
    tellSaveOutcome(FileReader::location(), saved, reason, "your library");
}

bool FileManager::isInLibrary(const FileItem& item) const {
    return library.containsFile(item.filePath, item.fileName);
}

FileManager::AddOutcome FileManager::addFile(FileItemPtr item) {
    if (isInLibrary(*item)) {
        return {false, LibraryResult::fileAlreadyExists};
    }
    library.push_back(item);
    currentView().push_back(std::move(item));
    return {true, LibraryResult::ok};
}

void FileManager::folderDelete(const std::string& id) {
    std::vector<std::string> ids;
    for (const auto& entry : library) {
        if (entry->folder == id) {
            ids.push_back(entry->id);
        }
    }
    library.removeFirstOfEachId(ids);
    removeFirstOfEachId(filtered, ids);
    // The table still has the old rows: show the selected folder again from what is left.
    showAgainAndReload();
}

bool FileManager::deleteItems(const RowIndexes& positions) {
    const auto& shown = shownList();
    std::vector<std::string> ids;
    for (const auto position : positions) {
        if (position < shown.size()) {
            ids.push_back(shown[position]->id);
        }
    }
    library.removeFirstOfEachId(ids);
    removeFirstOfEachId(currentView(), ids);
    if (isFiltered) {
        removeFirstOfEachId(filtered, ids);
    }
    return true;
}

void FileManager::filter(const std::string& text) {
    filtered.clear();
    searchText_ = text;
    if (text.empty()) {
        isFiltered = false;
        return;
    }
    const std::string wanted = platform::lowercased(text);
    for (const auto& entry : currentView()) {
        if (platform::lowercased(entry->fileName).find(wanted) != std::string::npos) {
            filtered.push_back(entry);
        }
    }
    isFiltered = true;
}

void FileManager::clearFilter() {
    filtered.clear();
    searchText_.clear();
    isFiltered = false;
}

void FileManager::setView(const std::string& id) {
    shownFolder_ = id;
    shownSort_.reset();
    ++viewGeneration_;
    const std::string cloudRoot = CloudType(CloudType::CloudRoot).id();
    if (id != FolderManager::home && id != cloudRoot && id != FolderManager::favourite &&
        id != FolderManager::encrypted) {
        // A user folder's entries are kept together: a small folder shows quickly in a large
        // library.
        setCurrentView(library.entriesIn(id));
        return;
    }
    std::vector<FileItemPtr> view;
    for (const auto& entry : library) {
        bool shown = false;
        // Home lists every non-cloud entry once, also one filed under Home itself.
        if (id == FolderManager::home) {
            shown = !entry->cloudFile;
        } else if (id == cloudRoot) {
            shown = entry->cloudFile;
        } else if (id == FolderManager::favourite) {
            shown = entry->favorite;
        } else {
            shown = entry->encrypted;
        }
        if (shown) {
            view.push_back(entry);
        }
    }
    setCurrentView(std::move(view));
}

void FileManager::deleteFiles() {
    if (tableView == nullptr) {
        return;
    }
    tableView->beginUpdates();
    const RowIndexes selected = tableView->selectedRowIndexes();
    if (deleteItems(selected)) {
        tableView->removeRows(selected, platform::TableAnimation::fade);
        save();
    }
    tableView->endUpdates();
}

bool FileManager::isSystemName(std::string_view name) {
    return (!name.empty() && name.front() == '.') || name == "Icon\r";
}

void FileManager::addCloudFileToLibrary(const std::string& path, const std::string& parentFolder,
                                        const std::string& url, bool cloudFile) {
    FileItemPtr entry = makeEntry(path, parentFolder, url, cloudFile);
    if (!entry) {
        return;
    }
    library.push_back(entry);
    if (const auto group = libraryFolder.find(parentFolder); group != libraryFolder.end()) {
        group->second.push_back(std::move(entry));
    }
}

FileManager::AddOutcome FileManager::addFileToLibrary(const std::string& path,
                                                      const std::string& parentFolder,
                                                      const std::string& url, bool cloudFile) {
    FileItemPtr entry = makeEntry(path, parentFolder, url, cloudFile);
    if (!entry) {
        return {false, LibraryResult::systemFile};
    }
    const AddOutcome outcome = addFile(std::move(entry));
    if (!outcome.success) {
        return outcome;
    }
    const auto insert = [alive = std::weak_ptr<bool>(alive_), this,
                         row = currentView().size() - 1] {
        // While a search is on the table shows its result, which has no row for the entry.
        if (alive.lock() && tableView != nullptr && !isFiltered) {
            tableView->insertRows({row}, platform::TableAnimation::slideDown);
        }
    };
    if (platform::Dispatch::isMainThread()) {
        insert();
    } else {
        platform::Dispatch::main().async(insert);
    }
    return outcome;
}

std::vector<FileItemPtr> FileManager::collectEntries(const std::vector<std::string>& paths,
                                                     const std::string& parentFolder) {
    std::vector<FileItemPtr> entries;
    const auto add = [&](const std::string& path) {
        if (FileItemPtr entry = makeEntry(path, parentFolder, platform::fileUrlText(path), false)) {
            entries.push_back(std::move(entry));
        }
    };
    for (const auto& given : paths) {
        // Entries keep absolute locations; a relative one would not survive the next save.
        std::error_code ec;
        const std::string path = given.empty() || given.front() == '/'
                                     ? given
                                     : fs::absolute(fs::path(given), ec).string();
        if (!isDirectory(path)) {
            add(path);
            continue;
        }
        std::vector<std::string> below;
        std::set<std::pair<dev_t, ino_t>> visited;
        if (!walkFolder(path, below, visited)) {
            continue;  // a folder that cannot be listed is skipped
        }
        for (const auto& full : below) {
            if (!isDirectory(full)) {
                add(full);
            }
        }
    }
    return entries;
}

void FileManager::addFilesFromFinder(bool includeFolders, const std::string& parentFolder,
                                     AddCompletion completion) {
    platform::OpenPanelOptions options;
    options.prompt = includeFolders ? "Add folder" : "Add file(s)";
    options.showsResizeIndicator = true;
    options.showsHiddenFiles = true;
    options.allowsMultipleSelection = true;
    options.canChooseDirectories = includeFolders;
    options.canChooseFiles = !includeFolders;
    platform::OpenPanelResult chosen = platform::openPanel().runModal(options);
    if (chosen.response != platform::PanelResponse::ok) {
        platform::Dispatch::main().async([alive = std::weak_ptr<bool>(alive_), this] {
            if (alive.lock() && tableView != nullptr) {
                tableView->endUpdates();
            }
            if (MainViewServices* view = mainView()) {
                view->stopProgress();
            }
        });
        return;
    }
    addFilesInBackground(chosen.paths, parentFolder, std::move(completion));
}

// One add's state across its main-queue steps.
struct FileManager::AddRun {
    std::vector<FileItemPtr> entries;
    std::size_t next = 0;
    std::uint64_t generation = 0;
    AddCompletion completion;
    int added = 0;
    int failures = 0;
    std::vector<LibraryResult> reasons;
    // Some new entries did not join the shown list: it is built again at the end.
    bool viewLeft = false;
};

void FileManager::addFilesInBackground(const std::vector<std::string>& paths,
                                       const std::string& parentFolder, AddCompletion completion) {
    auto run = std::make_shared<AddRun>();
    run->generation = viewGeneration_;
    run->completion = std::move(completion);
    // The worker reads only the file system; every list, table and file change happens on
    // the main queue, so the table never sees a list that grows under it.
    platform::Dispatch::global(platform::QualityOfService::userInitiated)
        .async([alive = std::weak_ptr<bool>(alive_), this, paths, parentFolder,
                run = std::move(run)]() mutable {
            run->entries = collectEntries(paths, parentFolder);
            platform::Dispatch::main().async([alive, this, run = std::move(run)]() mutable {
                if (alive.lock()) {
                    applyAddedLater(std::move(run));
                }
            });
        });
}

void FileManager::applyAddedLater(std::shared_ptr<AddRun> run) {
    if (!applyAdded(*run, addSlice)) {
        // The rest in a later step, after what else the window has to do.
        platform::Dispatch::main().async(
            [alive = std::weak_ptr<bool>(alive_), this, run = std::move(run)]() mutable {
                if (alive.lock()) {
                    applyAddedLater(std::move(run));
                }
            });
        return;
    }
    finishAdd(*run);
}

void FileManager::addFilesByUrl(const std::vector<std::string>& paths, bool /*includeFolders*/,
                                const std::string& parentFolder, AddCompletion completion) {
    AddRun run;
    run.entries = collectEntries(paths, parentFolder);
    run.generation = viewGeneration_;
    run.completion = std::move(completion);
    (void)applyAdded(run, run.entries.size());
    finishAdd(run);
}

bool FileManager::applyAdded(AddRun& run, std::size_t limit) {
    // New entries join the shown list only while the folder the add started in is still
    // shown without a search; otherwise the view is built again at the end.
    const bool sameView = run.generation == viewGeneration_ && !isFiltered;
    const std::size_t firstNew = currentView().size();
    const std::size_t last =
        std::min(run.entries.size(), run.next + std::max<std::size_t>(limit, 1));
    int added = 0;
    for (; run.next < last; ++run.next) {
        FileItemPtr& entry = run.entries[run.next];
        if (isInLibrary(*entry)) {
            ++run.failures;
            run.reasons.push_back(LibraryResult::fileAlreadyExists);
            continue;
        }
        library.push_back(entry);
        if (sameView) {
            currentView().push_back(std::move(entry));
        }
        ++added;
    }
    run.added += added;
    if (!sameView) {
        run.viewLeft = run.viewLeft || added > 0;
    } else if (tableView != nullptr && added > 0) {
        RowIndexes rows;
        for (std::size_t row = firstNew; row < currentView().size(); ++row) {
            rows.insert(row);
        }
        tableView->beginUpdates();
        tableView->insertRows(rows, platform::TableAnimation::slideDown);
        tableView->endUpdates();
    }
    return run.next >= run.entries.size();
}

void FileManager::finishAdd(AddRun& run) {
    if (run.viewLeft) {
        showAgainAndReload();
    }
    if (run.completion) {
        run.completion(run.added);
    }
    if (MainViewServices* view = mainView()) {
        view->updateStatus();
        view->stopProgress();
    }
    if (run.added > 0) {
        save();
    }
    if (run.failures > 0) {
        LibraryManager::createAndShowFailureMessage(LibraryProcess::addLibraryFiles, run.reasons,
                                                    run.failures);
    }
}

void FileManager::showAgainAndReload(bool onlyWhenChanged) {
    const std::vector<FileItemPtr> before =
        onlyWhenChanged ? shownList() : std::vector<FileItemPtr>{};
    const auto sorted = shownSort_;
    if (!shownFolder_.empty()) {
        setView(shownFolder_);
    } else {
        currentView().clear();
    }
    if (isFiltered) {
        filter(searchText_);
    }
    // In the order the user chose, not back in library order.
    if (sorted) {
        sort(sorted->first, sorted->second);
    }
    if (onlyWhenChanged && before == shownList()) {
        return;
    }
    if (tableView != nullptr) {
        tableView->reloadData();
    }
}

std::vector<platform::TableColumn> LibraryTableSource::columns() {
    return {{"favorite", "", "favourite"},
            {"fileName", "Name", "fileName"},
            {"encrypted", "", "encrypted"},
            {"path", "Path", "filePath"},
            {"size", "Size", "filesize"}};
}

std::size_t LibraryTableSource::numberOfRows() const {
    return manager_.shownList().size();
}

platform::TableCell LibraryTableSource::cell(std::size_t row,
                                             const std::string& columnIdentifier) const {
    const auto& shown = manager_.shownList();
    if (row >= shown.size()) {
        return {};
    }
    const FileItem& entry = *shown[row];
    if (columnIdentifier == "favorite") {
        return entry.favorite ? platform::TableCell{"", "favorite-16"}
                              : platform::TableCell{"-", "favorite-off-16"};
    }
    if (columnIdentifier == "fileName") {
        return {entry.fileName, ""};
    }
    if (columnIdentifier == "encrypted") {
        return entry.encrypted ? platform::TableCell{"", "lock-16"} : platform::TableCell{"-", ""};
    }
    if (columnIdentifier == "path") {
        return {entry.filePath, ""};
    }
    if (columnIdentifier == "size") {
        return {entry.size, ""};
    }
    return {};
}

std::string LibraryTableSource::rowIdentifier(std::size_t row) const {
    const auto& shown = manager_.shownList();
    return row < shown.size() ? shown[row]->id : std::string();
}

void LibraryTableSource::sortDescriptorsDidChange(const std::string& sortKey, bool ascending) {
    const auto order = FileManager::sortOrderFromRawValue(sortKey);
    if (!order) {
        return;
    }
    manager_.sort(*order, ascending);
    if (manager_.tableView != nullptr) {
        manager_.tableView->reloadData();
    }
}

}  // namespace m2
