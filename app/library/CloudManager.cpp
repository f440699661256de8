#include "app/library/CloudManager.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "app/services/Alerts.h"
#include "app/services/Settings.h"
#include "platform/Dispatch.h"
#include "platform/PathString.h"
#include "platform/Paths.h"
#include "platform/Workspace.h"

namespace m2 {

struct CloudManager::DirId {
    dev_t device;
    ino_t inode;
    friend bool operator==(const DirId&, const DirId&) = default;
};

namespace {

constexpr CloudType::Value kProviders[] = {CloudType::DropBox, CloudType::DropBoxBusiness,
                                           CloudType::iCloud, CloudType::GoogleDrive};

bool isHidden(const std::string& name) {
    return !name.empty() && name.front() == '.';
}

// The names in a folder in the order the system lists them; none when it cannot be read.
std::optional<std::vector<std::string>> listNames(const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

// Saves of our own catalogue files would otherwise look like changes to a cloud folder
// that holds the Documents folder, and rescan it forever.
bool isInBaseFolder(const std::string& path) {
    const std::string base = withoutTrailingSlashes(platform::baseFolderText());
    if (isAtOrBelow(path, base)) {
        return true;
    }
    std::error_code pathError;
    std::error_code baseError;
    const auto realPath = std::filesystem::weakly_canonical(path, pathError);
    const auto realBase = std::filesystem::weakly_canonical(base, baseError);
    return !pathError && !baseError && isAtOrBelow(realPath.string(), realBase.string());
}

FolderItemPtr makeCloudRoot() {
    const CloudType root = CloudType::CloudRoot;
    return std::make_shared<FolderItem>(root.label(), "", root.image(), root.id(), true, "-");
}

void indexTree(const FolderItemPtr& node, std::unordered_map<std::string, FolderItemPtr>& nodes) {
    nodes[node->id] = node;
    for (const auto& child : node->children) {
        indexTree(child, nodes);
    }
}

CloudScanNode snapshotNode(
    const FolderItem& node,
    const std::unordered_map<std::string, std::vector<FileItemPtr>>& groups) {
    CloudScanNode scan;
    scan.id = node.id;
    scan.path = withoutTrailingSlashes(node.cloudPath);
    if (const auto group = groups.find(node.id); group != groups.end()) {
        for (const auto& entry : group->second) {
            if (withoutTrailingSlashes(entry->filePath) == scan.path) {
                scan.knownFiles.insert(entry->fileName);
            }
        }
    }
    scan.children.reserve(node.children.size());
    for (const auto& child : node.children) {
        scan.children.push_back(snapshotNode(*child, groups));
    }
    return scan;
}

}  // namespace

CloudManager::CloudManager(LibraryManager& manager) : libraryManager(manager) {
    initObservers();
}

CloudManager::~CloudManager() = default;

std::optional<CloudManager::DirId> CloudManager::directoryId(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return std::nullopt;
    }
    return DirId{info.st_dev, info.st_ino};
}

bool CloudManager::addCloudProvider(CloudType type, const std::string& rootPath) {
    const std::string root = withoutTrailingSlashes(rootPath);
    FolderManager& folders = libraryManager.folderManager;
    FileManager& files = libraryManager.fileManager;
    platform::OutlineView* outline = libraryManager.folderView;
    platform::TableView* table = libraryManager.tableView;

    auto provider = std::make_shared<FolderItem>(type.label(), CloudType(CloudType::CloudRoot).id(),
                                                 type.image(), type.id(), true, root);
    if (outline != nullptr) {
        outline->beginUpdates();
    }
    if (table != nullptr) {
        table->beginUpdates();
    }
    folders.createCloudRoot(makeCloudRoot());
    if (const FolderItemPtr cloudRoot = folders.getCloudRoot()) {
        cloudRoot->children.push_back(provider);
        if (const auto names = listNames(root)) {
            std::vector<DirId> chain;
            if (const auto self = directoryId(root)) {
                chain.push_back(*self);
            }
            for (const auto& name : *names) {
                const std::string full = root + "/" + name;
                const auto folder = isHidden(name) ? std::nullopt : directoryId(full);
                if (folder) {
                    if (std::find(chain.begin(), chain.end(), *folder) == chain.end()) {
                        addFolderTree(*provider, full, name, chain);
                    }
                } else {
                    addRootFile(*provider, full);
                }
            }
            addCloudObserver(type, root);
        }
    } else {
        std::cout << "No folder tree to add the cloud folder to" << std::endl;
    }
    libraryManager.save();
    files.sortIntoFolders();
    if (outline != nullptr) {
        outline->reloadData();
        outline->endUpdates();
    }
    if (table != nullptr) {
        table->endUpdates();
    }
    if (outline != nullptr) {
        outline->selectRowIndexes({0}, false);
    }
    showSelectedFolder();
    return true;
}

void CloudManager::addRootFile(const FolderItem& provider, const std::string& path) {
    // Added without a table row: the view is regrouped and shown again once the provider
    // is in, and a posted row would arrive after that.
    const std::string name = platform::lastPathComponent(path);
    if (FileManager::isSystemName(name)) {
        return;
    }
    auto entry = std::make_shared<FileItem>(platform::fileUrlText(path), name, provider.id,
                                            name.find(".m2p") != std::string::npos, false,
                                            provider.cloudPath, true);
    (void)libraryManager.fileManager.addFile(std::move(entry));
}

void CloudManager::addCloudFolderAndContents(FolderItem& parent, const std::string& path,
                                             const std::string& folderName) {
    std::vector<DirId> chain;
    addFolderTree(parent, path, folderName, chain);
}

void CloudManager::addFolderTree(FolderItem& parent, const std::string& path,
                                 const std::string& name, std::vector<DirId>& chain) {
    auto node = std::make_shared<FolderItem>(name, parent.id, "folder-16");
    node->isCloudFolder = true;
    node->cloudPath = path;
    parent.children.push_back(node);
    const auto names = listNames(path);
    const auto self = directoryId(path);
    if (!names || !self) {
        return;
    }
    chain.push_back(*self);
    for (const auto& child : *names) {
        const std::string full = path + "/" + child;
        if (const auto folder = directoryId(full)) {
            // A link back to a folder on the way down would never end.
            if (std::find(chain.begin(), chain.end(), *folder) == chain.end()) {
                addFolderTree(*node, full, child, chain);
            }
        } else {
            libraryManager.fileManager.addCloudFileToLibrary(full, node->id,
                                                             platform::fileUrlText(full), true);
        }
    }
    chain.pop_back();
}

bool CloudManager::updateCloudProvider(CloudType type, const std::string& rootPath) {
    if (!removeCloudProvider(type)) {
        return false;
    }
    return addCloudProvider(type, rootPath);
}

bool CloudManager::removeCloudProvider(CloudType type) {
    FolderManager& folders = libraryManager.folderManager;
    platform::OutlineView* outline = libraryManager.folderView;
    const FolderItemPtr node = folders.find(type.id());
    if (!node) {
        return false;
    }
    if (outline != nullptr) {
        outline->beginUpdates();
    }
    const FolderItemPtr parent = folders.find(node->parent);
    std::optional<std::size_t> index;
    if (parent) {
        const auto& siblings = parent->children;
        const auto match = std::find_if(siblings.begin(), siblings.end(),
                                        [&](const FolderItemPtr& c) { return c->id == node->id; });
        if (match != siblings.end()) {
            index = static_cast<std::size_t>(match - siblings.begin());
        }
    }
    // The model first: the row goes only when the folder really went.
    const bool removed = libraryManager.deleteFolder(*node);
    if (!removed) {
        warningAlert("Could not delete folder");
    } else {
        if (outline != nullptr && parent) {
            if (index) {
                outline->removeItems({*index}, parent.get(), platform::OutlineAnimation::slideLeft);
            }
            outline->reloadItem(parent.get(), false);
        }
        libraryManager.save();
    }
    if (outline != nullptr && parent) {
        const int row = folders.currentIndexOf(*parent, true);
        outline->selectRowIndexes({static_cast<std::size_t>(std::max(row, 0))}, false);
    }
    if (outline != nullptr) {
        outline->endUpdates();
    }
    libraryManager.fileManager.sortIntoFolders();
    if (removed) {
        removeCloudObserver(type);
    }
    showSelectedFolder();
    return removed;
}

void CloudManager::showSelectedFolder() {
    FolderManager& folders = libraryManager.folderManager;
    const FolderItemPtr folder = folders.getSelectedFolder(true);
    if (!folder) {
        return;
    }
    folders.setCurrent(folder);
    libraryManager.fileManager.setView(folder->id);
    if (libraryManager.tableView != nullptr) {
        libraryManager.tableView->reloadData();
    }
    if (parentView != nullptr) {
        parentView->updateStatus();
    }
}

CurrentProcess CloudManager::currentState() const {
    if (parentView != nullptr) {
        return parentView->currentState();
    }
    return refreshing_ ? CurrentProcess::refreshingCloud : CurrentProcess::idel;
}

CloudSnapshot CloudManager::takeSnapshot() const {
    CloudSnapshot snapshot;
    const FileManager& files = libraryManager.fileManager;
    if (const FolderItemPtr cloudRoot = libraryManager.folderManager.getCloudRoot()) {
        for (const auto& provider : cloudRoot->children) {
            snapshot.providers.push_back(snapshotNode(*provider, files.libraryFolder));
        }
    }
    snapshot.entries.reserve(files.library.size());
    for (const auto& entry : files.library) {
        snapshot.entries.push_back({entry->id, entry->filePath, entry->fileName});
    }
    return snapshot;
}

void CloudManager::refreshCloudFolderAndContents() {
    if (refreshing_) {
        return;
    }
    refreshing_ = true;
    if (parentView != nullptr) {
        parentView->setCurrentState(CurrentProcess::refreshingCloud);
        parentView->showProgress("Refreshing Cloud...");
    }
    // Changes seen from here on may be missed by this scan, so they start the next one.
    detectedChanges.clear();
    auto snapshot = std::make_shared<const CloudSnapshot>(takeSnapshot());
    platform::Dispatch::global(platform::QualityOfService::background)
        .async([this, snapshot, alive = std::weak_ptr<bool>(alive_)] {
            auto plan = std::make_shared<const CloudPlan>(planCloudRescan(*snapshot));
            platform::Dispatch::main().async([this, plan, alive] {
                if (alive.lock()) {
                    apply(*plan);
                }
            });
        });
}

void CloudManager::apply(const CloudPlan& plan) {
    FolderManager& folders = libraryManager.folderManager;
    FileManager& files = libraryManager.fileManager;

    // Everything is looked up afresh: the tree and the lists may have changed meanwhile.
    std::unordered_map<std::string, FolderItemPtr> nodes;
    if (const FolderItemPtr cloudRoot = folders.getCloudRoot()) {
        indexTree(cloudRoot, nodes);
    }
    // Planned folders that turned out to be in the tree already.
    std::unordered_map<std::string, std::string> sameAs;
    const auto nodeOf = [&](const std::string& id) -> FolderItemPtr {
        const auto renamed = sameAs.find(id);
        const auto found = nodes.find(renamed == sameAs.end() ? id : renamed->second);
        return found == nodes.end() ? nullptr : found->second;
    };
    bool changed = false;
    std::vector<FolderItemPtr> toReload;
    const auto reload = [&](const FolderItemPtr& node) {
        if (std::find(toReload.begin(), toReload.end(), node) == toReload.end()) {
            toReload.push_back(node);
        }
    };

    for (const auto& planned : plan.newFolders) {
        const FolderItemPtr parent = nodeOf(planned.parentId);
        if (!parent) {
            continue;
        }
        const auto& siblings = parent->children;
        const auto existing =
            std::find_if(siblings.begin(), siblings.end(),
                         [&](const FolderItemPtr& c) { return c->cloudPath == planned.path; });
        if (existing != siblings.end()) {
            sameAs[planned.id] = (*existing)->id;
            continue;
        }
        auto node = std::make_shared<FolderItem>(planned.name, parent->id, "folder-16", planned.id,
                                                 true, planned.path);
        (void)folders.addFolder(*parent, node);
        changed = true;
        nodes[node->id] = node;
        reload(parent);
    }

    std::unordered_map<std::string, std::unordered_set<std::string>> known;
    const auto knownIn = [&](const FolderItem& node) -> std::unordered_set<std::string>& {
        const auto [slot, made] = known.try_emplace(node.id);
        if (made) {
            const std::string path = withoutTrailingSlashes(node.cloudPath);
            if (const auto group = files.libraryFolder.find(node.id);
                group != files.libraryFolder.end()) {
                for (const auto& entry : group->second) {
                    if (withoutTrailingSlashes(entry->filePath) == path) {
                        slot->second.insert(entry->fileName);
                    }
                }
            }
        }
        return slot->second;
    };
    for (const auto& planned : plan.newFiles) {
        const FolderItemPtr parent = nodeOf(planned.parentId);
        if (!parent) {
            continue;
        }
        const std::string name = platform::lastPathComponent(planned.path);
        auto& names = knownIn(*parent);
        if (!names.insert(name).second) {
            continue;
        }
        // The entry joins its folder's group, so the next scan knows it.
        (void)files.libraryFolder[parent->id];
        files.addCloudFileToLibrary(planned.path, parent->id, platform::fileUrlText(planned.path),
                                    true);
        changed = true;
    }

    for (const auto& id : plan.foldersToDelete) {
        const FolderItemPtr node = nodeOf(id);
        const FolderItemPtr parent = node ? nodeOf(node->parent) : nullptr;
        if (!parent || !folders.deleteFolder(*parent, *node)) {
            continue;
        }
        changed = true;
        std::vector<FolderItemPtr> below;
        folders.getAllChildren(*node, below);
        for (const auto& gone : below) {
            nodes.erase(gone->id);
        }
        nodes.erase(node->id);
        reload(parent);
    }

    if (!plan.missingEntries.empty()) {
        changed = true;
        const std::unordered_set<std::string> gone(plan.missingEntries.begin(),
                                                   plan.missingEntries.end());
        const auto isGone = [&](const FileItemPtr& entry) { return gone.contains(entry->id); };
        // By id from every list that holds entries, or a file that comes back would still
        // count as known in its folder's group and never be added again.
        std::unordered_set<std::string> groups;
        for (const auto& entry : files.library) {
            if (isGone(entry)) {
                groups.insert(entry->folder);
            }
        }
        (void)files.library.eraseIf(isGone);
        for (const auto& id : groups) {
            if (const auto group = files.libraryFolder.find(id);
                group != files.libraryFolder.end()) {
                std::erase_if(group->second, isGone);
            }
        }
    }

    if (platform::OutlineView* outline = libraryManager.folderView) {
        for (const auto& node : toReload) {
            if (nodes.contains(node->id)) {
                outline->reloadItem(node.get(), true);
            }
        }
    }
    // The shown folder is built again from the library, so new and vanished files show at
    // once wherever they belong (a cloud folder, Home's cloud root, Encrypted), the search
    // and the selected entries kept.
    if (changed) {
        files.showAgainAndReload(true);
    }
    refreshing_ = false;
    if (parentView != nullptr) {
        parentView->setCurrentState(CurrentProcess::idel);
        parentView->stopProgress();
        parentView->updateStatus();
    }
    // A rescan that found nothing new writes nothing.
    if (changed) {
        libraryManager.save();
    }
}

// Change detection.

void CloudManager::addDetectedChange(const std::string& path) {
    const std::string name = platform::lastPathComponent(path);
    if (FileManager::isSystemName(name)) {
        return;
    }
    std::string folder = platform::deletingLastPathComponent(path);
    if (std::find(detectedChanges.begin(), detectedChanges.end(), folder) ==
        detectedChanges.end()) {
        detectedChanges.push_back(std::move(folder));
    }
}

void CloudManager::clearDetectedChanges() {
    detectedChanges.clear();
}

void CloudManager::startObserverTimer() {
    if (actionNewCloudItemsTimer) {
        actionNewCloudItemsTimer->invalidate();
    }
    actionNewCloudItemsTimer = platform::TimerScheduler::main().scheduleRepeating(
        checkInterval, [this] { actionDetectedChanges(); });
}

void CloudManager::stopObserverTimer() {
    clearDetectedChanges();
    if (actionNewCloudItemsTimer) {
        actionNewCloudItemsTimer->invalidate();
        actionNewCloudItemsTimer.reset();
    }
}

void CloudManager::actionDetectedChanges() {
    if (currentState() == CurrentProcess::idel && !detectedChanges.empty()) {
        refreshCloudFolderAndContents();
    }
}

void CloudManager::removeCloudObserver(CloudType type) {
    const auto match = std::find_if(
        cloudObservers.begin(), cloudObservers.end(),
        [&](const auto& observer) { return observer->cloudType().rawValue() == type.rawValue(); });
    if (match != cloudObservers.end()) {
        (*match)->pause();
        cloudObservers.erase(match);
    }
}

void CloudManager::addCloudObserver(CloudType type, const std::string& cloudPath) {
    auto observer = std::make_unique<CloudObserver>(type, withoutTrailingSlashes(cloudPath));
    observer->setDelegate(this);
    CloudObserver& added = *cloudObservers.emplace_back(std::move(observer));
    if (Settings::instance().MonitorCloudFolders()) {
        added.watch();
    }
}

void CloudManager::initObservers() {
    for (const CloudType type : kProviders) {
        if (type.included()) {
            addCloudObserver(type, type.cloudPath());
        }
    }
}

bool CloudManager::observingCloudFolders() const {
    const Settings& settings = Settings::instance();
    return settings.MonitorCloudFolders() &&
           (settings.DropboxIncluded() || settings.DropboxBusnessIncluded() ||
            settings.iCloudIncluded() || settings.GoogleDriveIncluded());
}

void CloudManager::startObservers() {
    for (const auto& observer : cloudObservers) {
        observer->watch();
    }
    startObserverTimer();
}

void CloudManager::stopObservers() {
    for (const auto& observer : cloudObservers) {
        observer->pause();
    }
    stopObserverTimer();
}

void CloudManager::cloudFolderDidChange(const FileEvent& event) {
    if (isInBaseFolder(event.eventPath)) {
        return;
    }
    addDetectedChange(event.eventPath);
}

}  // namespace m2
