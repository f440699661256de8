#include "app/library/FolderManager.h"

#include <algorithm>

#include "app/library/FolderReader.h"
#include "app/library/SaveFailures.h"

namespace m2 {

void FolderManager::initItems() {
    if (auto loaded = FolderReader::load(); loaded && !loaded->empty()) {
        folders = std::move(*loaded);
        return;
    }
    // No usable file, or one without any folder: every operation needs Home at position 0.
    auto root = std::make_shared<FolderItem>("Home", "", "home-16", home);
    root->children.push_back(
        std::make_shared<FolderItem>("Favourite", home, "favorite-16", favourite));
    root->children.push_back(std::make_shared<FolderItem>("Encrypted", home, "lock-16", encrypted));
    root->children.push_back(
        std::make_shared<FolderItem>("Documents", home, "documents-16", document));
    folders.push_back(std::move(root));
}

void FolderManager::save() {
    std::string reason;
    const bool saved = FolderReader::save(folderView, current.get(), *this, &reason);
    tellSaveOutcome(FolderReader::location(), saved, reason, "your folders");
}

void FolderManager::setCurrent(FolderItemPtr folder) {
    current = std::move(folder);
}

std::string FolderManager::currentFolder() const {
    return current ? current->id : std::string();
}

namespace {

FolderItemPtr findBelow(const std::vector<FolderItemPtr>& list, const std::string& text) {
    for (const auto& folder : list) {
        if (folder->id == text || folder->cloudPath == text) {
            return folder;
        }
        if (auto found = findBelow(folder->children, text)) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace

FolderItemPtr FolderManager::find(const std::string& id) const {
    return findBelow(folders, id);
}

FolderItemPtr FolderManager::getRoot() const {
    return folders.empty() ? nullptr : folders.front();
}

FolderItemPtr FolderManager::getCloudRoot() const {
    return folders.size() >= 2 ? folders[1] : nullptr;
}

void FolderManager::createCloudRoot(FolderItemPtr folder) {
    if (folders.size() == 1) {
        folders.push_back(std::move(folder));
    }
}

bool FolderManager::addFolder(FolderItem& parent, FolderItemPtr folder) {
    parent.children.push_back(std::move(folder));
    return true;
}

void FolderManager::getAllChildren(const FolderItem& folder,
                                   std::vector<FolderItemPtr>& children) const {
    for (const auto& child : folder.children) {
        children.push_back(child);
        getAllChildren(*child, children);
    }
}

bool FolderManager::deleteFolder(const FolderItem& folder) {
    const FolderItemPtr subtree = folder.isCloudFolder ? getCloudRoot() : getRoot();
    if (!subtree || !deleteFolder(*subtree, folder)) {
        return false;
    }
    save();
    return true;
}

bool FolderManager::deleteFolder(FolderItem& parent, const FolderItem& folder) {
    auto& children = parent.children;
    const auto match = std::find_if(children.begin(), children.end(),
                                    [&](const FolderItemPtr& c) { return c->id == folder.id; });
    if (match != children.end()) {
        children.erase(match);
        return true;
    }
    return std::any_of(children.begin(), children.end(),
                       [&](const FolderItemPtr& c) { return deleteFolder(*c, folder); });
}

int FolderManager::currentIndexOf(const FolderItem& folder, bool includeAll) {
    std::vector<FolderItem*> rows;
    if (includeAll) {
        for (const auto& top : folders) {
            currentIndexOf(*top, folder, rows);
        }
    } else if (const FolderItemPtr subtree = folder.isCloudFolder ? getCloudRoot() : getRoot()) {
        currentIndexOf(*subtree, folder, rows);
    }
    const auto match = std::find_if(rows.begin(), rows.end(),
                                    [&](const FolderItem* row) { return row->id == folder.id; });
    return match == rows.end() ? 0 : static_cast<int>(match - rows.begin());
}

void FolderManager::currentIndexOf(FolderItem& visit, const FolderItem& folder,
                                   std::vector<FolderItem*>& allfolders) {
    allfolders.push_back(&visit);
    if (folderView != nullptr) {
        visit.expanded = folderView->isItemExpanded(&visit);
    }
    if (visit.expanded) {
        for (const auto& child : visit.children) {
            currentIndexOf(*child, folder, allfolders);
        }
    }
}

int FolderManager::indexOf(const FolderItem& parent, const FolderItem& folder) const {
    const auto& children = parent.children;
    const auto match = std::find_if(children.begin(), children.end(),
                                    [&](const FolderItemPtr& c) { return c->id == folder.id; });
    if (match != children.end()) {
        return static_cast<int>(match - children.begin());
    }
    for (const auto& child : children) {
        if (const int index = indexOf(*child, folder); index != -1) {
            return index;
        }
    }
    return -1;
}

bool FolderManager::isSpecial(const FolderItem& folder) const {
    return folder.id == home || folder.id == favourite || folder.id == encrypted;
}

void FolderManager::resumeState() {
    FolderItemPtr selected = getRoot();
    if (!selected) {
        return;
    }
    for (const auto& folder : folders) {
        if (folderView != nullptr) {
            folderView->expandItem(folder.get());
        }
        resumeState(folder, selected);
    }
    current = selected;
    currentIndex = currentIndexOf(*current, true);
    if (folderView != nullptr) {
        folderView->selectRowIndexes({static_cast<std::size_t>(*currentIndex)}, false);
    }
}

void FolderManager::resumeState(const FolderItemPtr& folder, FolderItemPtr& selected) {
    if (folder->expanded && folderView != nullptr) {
        folderView->expandItem(folder.get());
    }
    if (folder->selected) {
        selected = folder;
    }
    for (const auto& child : folder->children) {
        resumeState(child, selected);
    }
}

FolderItemPtr FolderManager::getSelectedFolder(bool /*flag*/) const {
    if (folderView == nullptr) {
        return nullptr;
    }
    const int row = folderView->selectedRow();
    if (row == -1) {
        return nullptr;
    }
    return std::dynamic_pointer_cast<FolderItem>(folderView->itemAtRow(row));
}

void FolderManager::editLibraryFolder(const FolderItem& folder) {
    if (folderView != nullptr) {
        folderView->beginUpdates();
    }
    if (const FolderItemPtr target = find(folder.id)) {
        target->label = folder.label;
        if (folderView != nullptr) {
            // A row over every top-level folder: for a cloud folder the row within its own
            // subtree would name some other row.
            const int row = currentIndexOf(*target, true);
            folderView->reloadRows({static_cast<std::size_t>(row)}, {0});
        }
    }
    if (folderView != nullptr) {
        folderView->endUpdates();
    }
    // Nothing else saves the new name before quitting.
    save();
}

void FolderManager::newLibraryFolder(FolderItemPtr folder, const FolderItemPtr& parent) {
    if (folderView != nullptr) {
        folderView->beginUpdates();
    }
    addFolder(*parent, folder);
    // Its own position among the parent's children, wherever the parent is in the tree.
    const auto index = static_cast<std::size_t>(parent->children.size() - 1);
    if (folderView != nullptr) {
        folderView->insertItems({index}, parent.get(), platform::OutlineAnimation::slideLeft);
        folderView->endUpdates();
        folderView->expandItem(parent.get());
    }
    save();
}

const std::vector<FolderItemPtr>* FolderOutlineSource::childrenOf(
    const platform::OutlineItem* item) const {
    if (item == nullptr) {
        return &manager_.folders;
    }
    const auto* folder = dynamic_cast<const FolderItem*>(item);
    return folder != nullptr ? &folder->children : nullptr;
}

std::size_t FolderOutlineSource::numberOfChildren(const platform::OutlineItem* item) const {
    const auto* children = childrenOf(item);
    return children != nullptr ? children->size() : 0;
}

platform::OutlineItemPtr FolderOutlineSource::child(std::size_t index,
                                                    const platform::OutlineItem* item) const {
    const auto* children = childrenOf(item);
    if (children == nullptr || index >= children->size()) {
        return nullptr;
    }
    return (*children)[index];
}

std::string FolderOutlineSource::label(const platform::OutlineItem& item) const {
    const auto* folder = dynamic_cast<const FolderItem*>(&item);
    return folder != nullptr ? folder->label : std::string();
}

std::string FolderOutlineSource::icon(const platform::OutlineItem& item) const {
    const auto* folder = dynamic_cast<const FolderItem*>(&item);
    return folder != nullptr ? folder->icon : std::string();
}

}  // namespace m2
