#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "app/library/FileItem.h"

namespace m2 {

// Every library entry in library order, with indexes beside the list: entries by id, by
// directory and name, and by library folder. Every change goes through this type so the
// indexes stay true, and "the entry with this id", "this file is already listed" or "the
// entries of this folder" cost the same at any library size. Reading is as for a vector. An
// entry's id, folder, name and directory change only through rename() while it is listed.
class LibraryList {
  public:
    using const_iterator = std::vector<FileItemPtr>::const_iterator;

    LibraryList() = default;
    LibraryList(std::vector<FileItemPtr> items);  // NOLINT(google-explicit-constructor)
    LibraryList(const LibraryList& other) : LibraryList(other.items_) {}
    LibraryList& operator=(const LibraryList& other);
    LibraryList(LibraryList&&) = default;
    LibraryList& operator=(LibraryList&&) = default;
    LibraryList& operator=(std::vector<FileItemPtr> items);
    ~LibraryList() = default;

    [[nodiscard]] const std::vector<FileItemPtr>& items() const { return items_; }
    operator const std::vector<FileItemPtr>&() const { return items_; }  // NOLINT
    [[nodiscard]] const_iterator begin() const { return items_.begin(); }
    [[nodiscard]] const_iterator end() const { return items_.end(); }
    [[nodiscard]] std::size_t size() const { return items_.size(); }
    [[nodiscard]] bool empty() const { return items_.empty(); }
    [[nodiscard]] const FileItemPtr& operator[](std::size_t i) const { return items_[i]; }
    [[nodiscard]] const FileItemPtr& front() const { return items_.front(); }
    [[nodiscard]] const FileItemPtr& back() const { return items_.back(); }
    [[nodiscard]] const FileItemPtr* data() const { return items_.data(); }

    void reserve(std::size_t count);
    void clear();
    void push_back(FileItemPtr entry);  // NOLINT(readability-identifier-naming)
    // Removes the first entry of each id, keeping the order of the rest; one pass.
    void removeFirstOfEachId(const std::vector<std::string>& ids);
    // Removes every entry the predicate holds for; answers how many went.
    template <typename Predicate>
    std::size_t eraseIf(Predicate gone) {
        Removal removal;
        std::erase_if(items_, [&](const FileItemPtr& entry) {
            if (!gone(entry)) {
                return false;
            }
            unindex(entry.get(), removal);
            return true;
        });
        return finish(removal);
    }

    // The first entry with this id in library order; nullptr when none.
    [[nodiscard]] FileItem* findId(std::string_view id) const;
    // An entry of this name in this directory is listed (exact, case-sensitive).
    [[nodiscard]] bool containsFile(std::string_view directory, std::string_view name) const;
    // Gives a listed entry a new name and directory, keeping the indexes true.
    void rename(FileItem& entry, std::string name, std::string directory);
    // The entries filed under this library folder, in library order.
    [[nodiscard]] const std::vector<FileItemPtr>& entriesIn(const std::string& folder) const;

  private:
    struct IdHash {
        using is_transparent = void;
        std::size_t operator()(const FileItem* e) const { return (*this)(std::string_view(e->id)); }
        std::size_t operator()(std::string_view id) const {
            return std::hash<std::string_view>{}(id);
        }
    };
    struct IdEqual {
        using is_transparent = void;
        bool operator()(const FileItem* a, const FileItem* b) const { return a->id == b->id; }
        bool operator()(std::string_view id, const FileItem* e) const { return id == e->id; }
        bool operator()(const FileItem* e, std::string_view id) const { return id == e->id; }
    };
    using Place = std::pair<std::string_view, std::string_view>;  // directory, name
    struct PlaceHash {
        using is_transparent = void;
        std::size_t operator()(const FileItem* e) const {
            return (*this)(Place(e->filePath, e->fileName));
        }
        std::size_t operator()(Place place) const {
            const std::size_t first = std::hash<std::string_view>{}(place.first);
            return first ^ (std::hash<std::string_view>{}(place.second) + 0x9e3779b97f4a7c15ULL +
                            (first << 6) + (first >> 2));
        }
    };
    struct PlaceEqual {
        using is_transparent = void;
        static bool same(Place place, const FileItem* e) {
            return place.first == e->filePath && place.second == e->fileName;
        }
        bool operator()(const FileItem* a, const FileItem* b) const {
            return same(Place(a->filePath, a->fileName), b);
        }
        bool operator()(Place place, const FileItem* e) const { return same(place, e); }
        bool operator()(const FileItem* e, Place place) const { return same(place, e); }
    };

    // Entries taken out of the id and place indexes, to leave their folders' lists in one
    // pass each.
    struct Removal {
        std::unordered_map<const FileItem*, std::size_t> entries;
        std::size_t count = 0;
    };

    void rebuild();
    void index(const FileItemPtr& entry);
    void unindex(FileItem* entry, Removal& removal);
    std::size_t finish(Removal& removal);

    std::vector<FileItemPtr> items_;
    std::unordered_multiset<FileItem*, IdHash, IdEqual> byId_;
    std::unordered_multiset<FileItem*, PlaceHash, PlaceEqual> byPlace_;
    std::unordered_map<std::string, std::vector<FileItemPtr>> byFolder_;
};

}  // namespace m2
