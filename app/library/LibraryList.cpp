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
    byId_.reserve(items_.size());
    byPlace_.reserve(items_.size());
    for (const auto& entry : items_) {
        index(entry.get());
    }
}

void LibraryList::index(FileItem* entry) {
    if (entry != nullptr) {
        byId_.insert(entry);
        byPlace_.insert(entry);
    }
}

void LibraryList::unindex(FileItem* entry) {
    if (entry == nullptr) {
        return;
    }
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

void LibraryList::reserve(std::size_t count) {
    items_.reserve(count);
    byId_.reserve(count);
    byPlace_.reserve(count);
}

void LibraryList::clear() {
    items_.clear();
    byId_.clear();
    byPlace_.clear();
}

void LibraryList::push_back(FileItemPtr entry) {
    index(entry.get());
    items_.push_back(std::move(entry));
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
