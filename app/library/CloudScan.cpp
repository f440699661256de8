#include "app/library/CloudScan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <utility>

#include "platform/Uuid.h"

namespace m2 {
namespace {

struct DirId {
    dev_t device;
    ino_t inode;
    friend bool operator==(const DirId&, const DirId&) = default;
};

// A folder's listing, split as the comparison needs it.
struct Listing {
    std::vector<std::string> files;
    std::vector<std::pair<std::string, DirId>> folders;
};

class Scanner {
  public:
    explicit Scanner(CloudPlan& plan) : plan_(plan) {}

    void compareProvider(const CloudScanNode& provider) {
        struct stat info {};
        if (::stat(provider.path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            // An unmounted drive or a sync client moving the folder: keep everything.
            plan_.unreachableRoots.push_back(provider.path);
            return;
        }
        std::vector<DirId> chain;
        compare(provider, chain);
    }

    // Whether the entry's file is gone: answered from the listings read by the comparison
    // where possible, else from the disk. Only "no such file" counts as gone.
    [[nodiscard]] bool isMissing(const CloudScanEntry& entry) const {
        const std::string folder = withoutTrailingSlashes(entry.filePath);
        if (const auto listed = names_.find(folder); listed != names_.end()) {
            return !listed->second.contains(entry.fileName);
        }
        return isGone(entry.filePath + "/" + entry.fileName);
    }

  private:
    static bool isGone(const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
    }

    static bool isHidden(const std::string& name) { return !name.empty() && name.front() == '.'; }

    void reload(const std::string& id) {
        if (std::find(plan_.foldersToReload.begin(), plan_.foldersToReload.end(), id) ==
            plan_.foldersToReload.end()) {
            plan_.foldersToReload.push_back(id);
        }
    }

    // Lists the folder; false when it cannot be read. Every name is remembered for the
    // missing-file sweep; hidden ones take no further part.
    bool list(const std::string& path, Listing& listing, DirId& self) {
        DIR* dir = ::opendir(path.c_str());
        if (dir == nullptr) {
            return false;
        }
        struct stat info {};
        if (::fstat(::dirfd(dir), &info) == 0) {
            self = {info.st_dev, info.st_ino};
        }
        auto& names = names_[path];
        while (const dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            names.insert(name);
            if (isHidden(name)) {
                continue;
            }
            bool folder = false;
            DirId id{};
            if (entry->d_type == DT_REG) {
                folder = false;
            } else if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0 &&
                       S_ISDIR(info.st_mode)) {
                // Directory links count as folders, as they do when a provider is added.
                folder = true;
                id = {info.st_dev, info.st_ino};
            }
            if (folder) {
                listing.folders.emplace_back(std::move(name), id);
            } else {
                listing.files.push_back(std::move(name));
            }
        }
        ::closedir(dir);
        return true;
    }

    void compare(const CloudScanNode& node, std::vector<DirId>& chain) {
        Listing listing;
        DirId self{};
        const bool listed = list(node.path, listing, self);
        if (listed) {
            chain.push_back(self);
            for (const auto& name : listing.files) {
                if (!node.knownFiles.contains(name)) {
                    plan_.newFiles.push_back({node.id, node.path + "/" + name});
                }
            }
            for (const auto& [name, id] : listing.folders) {
                const std::string full = node.path + "/" + name;
                const bool known =
                    std::any_of(node.children.begin(), node.children.end(),
                                [&](const CloudScanNode& child) { return child.path == full; });
                if (known || std::find(chain.begin(), chain.end(), id) != chain.end()) {
                    continue;  // compared below, or a link back up the tree
                }
                CloudScanNode fresh;
                fresh.id = platform::newUuidString();
                fresh.path = full;
                plan_.newFolders.push_back({fresh.id, node.id, name, full});
                reload(node.id);
                compare(fresh, chain);
            }
        }
        for (const auto& child : node.children) {
            if (isGone(child.path)) {
                plan_.foldersToDelete.push_back(child.id);
                reload(node.id);
            } else {
                compare(child, chain);
            }
        }
        if (listed) {
            chain.pop_back();
        }
    }

    CloudPlan& plan_;
    std::unordered_map<std::string, std::unordered_set<std::string>> names_;
};

}  // namespace

std::string withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return std::string(path);
}

bool isAtOrBelow(std::string_view path, std::string_view folder) {
    if (!path.starts_with(folder)) {
        return false;
    }
    return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

CloudPlan planCloudRescan(const CloudSnapshot& snapshot) {
    CloudPlan plan;
    Scanner scanner(plan);
    for (const auto& provider : snapshot.providers) {
        scanner.compareProvider(provider);
    }
    for (const auto& entry : snapshot.entries) {
        const bool unreachable =
            std::any_of(plan.unreachableRoots.begin(), plan.unreachableRoots.end(),
                        [&](const std::string& root) {
                            return isAtOrBelow(withoutTrailingSlashes(entry.filePath), root);
                        });
        if (!unreachable && scanner.isMissing(entry)) {
            plan.missingEntries.push_back(entry.id);
        }
    }
    return plan;
}

}  // namespace m2
