#include "platform/WorkingFolders.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "Sealkit/SealkitFacade.h"
#include "platform/FileDescriptor.h"

namespace fs = std::filesystem;

namespace m2::platform {
namespace {

constexpr std::string_view kTemplateTail = "XXXXXX";

std::string_view prefixOf(WorkingFolderPurpose purpose) {
    switch (purpose) {
        case WorkingFolderPurpose::Notes:
            return "notes-";
        case WorkingFolderPurpose::Rekeying:
            return "rekeying-";
        case WorkingFolderPurpose::Document:
            break;
    }
    return "document-";
}

// The purpose a sub-folder name stands for: a purpose prefix and mkdtemp's six letters or
// digits, nothing else.
std::optional<WorkingFolderPurpose> purposeOfName(const std::string& name) {
    for (const auto purpose : {WorkingFolderPurpose::Document, WorkingFolderPurpose::Notes,
                               WorkingFolderPurpose::Rekeying}) {
        const std::string_view prefix = prefixOf(purpose);
        if (name.size() == prefix.size() + kTemplateTail.size() && name.starts_with(prefix) &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                        [](unsigned char c) { return std::isalnum(c) != 0; })) {
            return purpose;
        }
    }
    return std::nullopt;
}

// Both private folders, as written and as resolved, so a caller's resolved path still
// matches when $XDG_RUNTIME_DIR or $TMPDIR passes through a link.
std::vector<fs::path> privateRoots() {
    std::vector<fs::path> roots;
    for (const fs::path& root : {privateRuntimeFolderLocation(), privateDiskFolderLocation()}) {
        if (root.empty()) {
            continue;
        }
        roots.push_back(root.lexically_normal());
        std::error_code ec;
        if (fs::path resolved = fs::canonical(root, ec); !ec && resolved != roots.back()) {
            roots.push_back(std::move(resolved));
        }
    }
    return roots;
}

// Both private folders once each, those that are still ours and closed to others.
std::vector<fs::path> usablePrivateRoots() {
    std::vector<fs::path> roots;
    for (const fs::path& root : {privateRuntimeFolderLocation(), privateDiskFolderLocation()}) {
        if (!root.empty() && std::find(roots.begin(), roots.end(), root) == roots.end() &&
            checkedPrivateFolder(root, false)) {
            roots.push_back(root);
        }
    }
    return roots;
}

// Sub-folders this process made and keeps, by device and inode, each held under an
// exclusive lock that a start-up clean-up in another process sees. The mutex also keeps this
// process's own clean-up away from a sub-folder between its making and its lock.
std::mutex g_heldMutex;
std::map<std::pair<dev_t, ino_t>, UniqueFd> g_held;

// With g_heldMutex held.
void hold(const fs::path& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        return;
    }
    g_held[{info.st_dev, info.st_ino}] = std::move(fd);
}

void release(const struct stat& info) {
    const std::lock_guard lock(g_heldMutex);
    g_held.erase({info.st_dev, info.st_ino});
}

bool hasRoom(const fs::path& folder, std::uintmax_t needed) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) {
        return false;
    }
    const auto available = static_cast<std::uintmax_t>(info.f_bavail) * info.f_frsize;
    return available >= needed;
}

// Blocks on a memory file system never reach a disk, so removing is enough there.
bool onDisk(const fs::path& path) {
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0) {
        return true;
    }
    return info.f_type != TMPFS_MAGIC && info.f_type != RAMFS_MAGIC;
}

// Overwrites and removes one regular file through the engine; a file with other names is
// only unlinked, since overwriting would destroy what those names hold.
bool shredOne(const fs::path& file) {
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    if (S_ISREG(info.st_mode) && info.st_nlink == 1) {
        (void)::chmod(file.c_str(), S_IRUSR | S_IWUSR);  // an editor may have locked it
        if (Shredder().shredFile(file.string())) {
            return true;
        }
    }
    return ::unlink(file.c_str()) == 0 || errno == ENOENT;
}

// Removes `folder` and everything below it without following a link; regular files are
// overwritten first when `overwrite` is set.
bool removeTree(const fs::path& folder, bool overwrite) {
    std::error_code ec;
    std::vector<fs::path> files;
    (void)::chmod(folder.c_str(), S_IRWXU);
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        const fs::file_status status = it->symlink_status(ec);
        if (fs::is_directory(status)) {
            (void)::chmod(it->path().c_str(), S_IRWXU);  // so its entries can go
        } else if (fs::is_regular_file(status)) {
            files.push_back(it->path());
        }
    }
    bool ok = true;
    if (overwrite) {
        for (const fs::path& file : files) {
            ok = shredOne(file) && ok;
        }
    }
    fs::remove_all(folder, ec);
    return ok && !ec && !fs::exists(fs::symlink_status(folder, ec));
}

}  // namespace

FolderResult makeWorkingFolder(WorkingFolderPurpose purpose, std::uintmax_t bytes) {
    constexpr std::uintmax_t kMax = std::numeric_limits<std::uintmax_t>::max();
    const std::uintmax_t needed =
        bytes > (kMax - kWorkingFolderMargin) / 2 ? kMax : 2 * bytes + kWorkingFolderMargin;
    const FolderResult primary = privateTemporaryFolder();
    if (!primary) {
        return primary;  // an unsafe folder is reported, never worked around
    }
    fs::path parent = primary.path;
    if (!hasRoom(parent, needed)) {
        if (const FolderResult disk = privateDiskFolder(); disk) {
            parent = disk.path;
        }
    }

    std::string pattern = (parent / prefixOf(purpose)).string();
    pattern += kTemplateTail;
    const std::lock_guard lock(g_heldMutex);
    if (::mkdtemp(pattern.data()) == nullptr) {
        const int error = errno;
        return {parent, error,
                "Could not create a working folder in \"" + parent.string() +
                    "\": " + std::strerror(error)};
    }
    hold(pattern);
    return {pattern, 0, {}};
}

std::optional<fs::path> workingFolderOf(const fs::path& path) {
    if (!path.is_absolute()) {
        return std::nullopt;
    }
    const fs::path normal = path.lexically_normal();
    for (const fs::path& root : privateRoots()) {
        const fs::path relative = normal.lexically_relative(root);
        if (relative.empty()) {
            continue;
        }
        const std::string first = relative.begin()->string();
        if (purposeOfName(first)) {
            return root / first;
        }
    }
    return std::nullopt;
}

bool removeWorkingFolder(const fs::path& path) {
    const auto folder = workingFolderOf(path);
    if (!folder) {
        return false;
    }
    // The private folder above must still be ours and closed to others before anything in it
    // is touched.
    if (const FolderResult root = checkedPrivateFolder(folder->parent_path(), false); !root) {
        return root.error == ENOENT;
    }
    struct stat info {};
    if (::lstat(folder->c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        return false;
    }
    const bool removed = removeTree(*folder, onDisk(*folder));
    if (removed) {
        release(info);
    }
    return removed;
}

bool removePlainCopy(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return false;
    }
    if (S_ISREG(info.st_mode) && workingFolderOf(path) && onDisk(path.parent_path())) {
        return shredOne(path);
    }
    return ::remove(path.c_str()) == 0;
}

std::vector<fs::path> unheldDocumentFolders(fs::file_time_type madeBefore) {
    const std::lock_guard lock(g_heldMutex);
    std::vector<fs::path> found;
    for (const fs::path& root : usablePrivateRoots()) {
        std::error_code ec;
        for (auto it = fs::directory_iterator(root, ec); !ec && it != fs::end(it);
             it.increment(ec)) {
            if (purposeOfName(it->path().filename().string()) != WorkingFolderPurpose::Document ||
                !fs::is_directory(it->symlink_status(ec))) {
                continue;
            }
            std::error_code timeError;
            const auto made = fs::last_write_time(it->path(), timeError);
            const UniqueFd fd(
                ::open(it->path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            // The probe lock goes again with the descriptor.
            if (!timeError && made < madeBefore && fd &&
                ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
                found.push_back(it->path());
            }
        }
    }
    return found;
}

std::size_t removeStaleWorkingFolders() {
    const std::lock_guard lock(g_heldMutex);
    std::size_t removed = 0;
    for (const fs::path& root : usablePrivateRoots()) {
        std::error_code ec;
        std::vector<fs::path> stale;
        for (auto it = fs::directory_iterator(root, ec); !ec && it != fs::end(it);
             it.increment(ec)) {
            const auto purpose = purposeOfName(it->path().filename().string());
            if (purpose && *purpose != WorkingFolderPurpose::Document &&
                fs::is_directory(it->symlink_status(ec))) {
                stale.push_back(it->path());
            }
        }
        for (const fs::path& folder : stale) {
            // A running process holds its sub-folders locked; only a crash's are free.
            const UniqueFd fd(
                ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (fd && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
                removeTree(folder, onDisk(folder))) {
                ++removed;
            }
        }
    }
    return removed;
}

}  // namespace m2::platform
