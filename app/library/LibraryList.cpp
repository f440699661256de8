#include "app/library/LibraryList.h"

#include <unordered_map>

namespace m2 {

LibraryList::LibraryList(std::vector<FileItemPtr> items) : items_(std::move(items)) {
    rebuild();
}

LibraryList& LibraryList::operator=(const LibraryList& other) {
    if (this != &other) {
        *this = other.items_;
    }
    return *this;
}

LibraryList& LibraryList::operator=(std::vector<FileItemPtr> items) {
    items_ = std::move(items);
    rebuild();
    return *this;
}

void LibraryList::rebuild() {
    byId_.clear();
    byPlace_.clear();
    byFolder_.clear();
    // Room for half as many again: otherwise the first file added to a loaded library
    // rehashes both indexes whole in one step, a stall of a fifth of a second at a million.
    const std::size_t room = items_.size() + items_.size() / 2;
    byId_.reserve(room);
    byPlace_.reserve(room);
    for (const auto& entry : items_) {
        index(entry);
    }
}

void LibraryList::index(const FileItemPtr& entry) {
    if (entry) {
        byId_.insert(entry.get());
        byPlace_.insert(entry.get());
        byFolder_[entry->folder].push_back(entry);
    }
}

void LibraryList::unindex(FileItem* entry, Removal& removal) {
    if (entry == nullptr) {
        return;
    }
    ++removal.entries[entry];
    ++removal.count;
    // One occurrence of this very object, not just one of the same key.
    const auto dropOne = [entry](auto& set) {
        auto [it, last] = set.equal_range(entry);
        for (; it != last; ++it) {
            if (*it == entry) {
                set.erase(it);
                return;
            }
        }
    };
    dropOne(byId_);
    dropOne(byPlace_);
}

std::size_t LibraryList::finish(Removal& removal) {
    std::unordered_set<std::string_view> folders;
    for (const auto& [entry, times] : removal.entries) {
        folders.insert(entry->folder);
    }
    for (const auto folder : folders) {
        const auto group = byFolder_.find(std::string(folder));
        if (group == byFolder_.end()) {
            continue;
        }
        // The first occurrences go, as in the list.
        std::erase_if(group->second, [&](const FileItemPtr& entry) {
            const auto it = removal.entries.find(entry.get());
            if (it == removal.entries.end() || it->second == 0) {
                return false;
            }
            --it->second;
            return true;
        });
        if (group->second.empty()) {
            byFolder_.erase(group);
        }
    }
    return removal.count;
}

void LibraryList::reserve(std::size_t count) {
    items_.reserve(count);
    byId_.reserve(count);
    byPlace_.reserve(count);
}

void LibraryList::clear() {
    items_.clear();
    byId_.clear();
    byPlace_.clear();
    byFolder_.clear();
}

void LibraryList::push_back(FileItemPtr entry) {
    index(entry);
    items_.push_back(std::move(entry));
}

const std::vector<FileItemPtr>& LibraryList::entriesIn(const std::string& folder) const {
    static const std::vector<FileItemPtr> none;
    const auto group = byFolder_.find(folder);
    return group == byFolder_.end() ? none : group->second;
}

void LibraryList::removeFirstOfEachId(const std::vector<std::string>& ids) {
    if (ids.empty()) {
        return;
    }
    std::unordered_map<std::string_view, int> pending;
    for (const auto& id : ids) {
        ++pending[id];
    }
    (void)eraseIf([&](const FileItemPtr& entry) {
        if (!entry) {
            return false;
        }
        const auto it = pending.find(entry->id);
        if (it == pending.end() || it->second == 0) {
            return false;
        }
        --it->second;
        return true;
    });
}

FileItem* LibraryList::findId(std::string_view id) const {
    const auto [first, last] = byId_.equal_range(id);
    if (first == last) {
        return nullptr;
    }
    if (std::next(first) == last) {
        return *first;
    }
    // Only a hand-edited library file repeats an id: the first in library order wins.
    for (const auto& entry : items_) {
        if (entry && entry->id == id) {
            return entry.get();
        }
    }
    return nullptr;
}

bool LibraryList::containsFile(std::string_view directory, std::string_view name) const {
    return byPlace_.find(Place(directory, name)) != byPlace_.end();
}

void LibraryList::rename(FileItem& entry, std::string name, std::string directory) {
    // The same object may be listed more than once; each occurrence moves.
    std::size_t listed = 0;
    auto [it, last] = byPlace_.equal_range(&entry);
    while (it != last) {
        if (*it == &entry) {
            it = byPlace_.erase(it);
            ++listed;
        } else {
            ++it;
        }
    }
    entry.fileName = std::move(name);
    entry.filePath = std::move(directory);
    for (; listed > 0; --listed) {
        byPlace_.insert(&entry);
    }
}

}  // namespace m2
