#include "platform/Paths.h"

#include <fcntl.h>
#include <glib.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>

#include "platform/Environment.h"

namespace fs = std::filesystem;

namespace m2::platform {
namespace {

std::mutex g_overrideMutex;
std::optional<fs::path> g_documentsOverride;

fs::path homeFolder() {
    if (auto home = environmentValue("HOME")) {
        return *home;
    }
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_dir) {
        return entry->pw_dir;
    }
    return g_get_home_dir();
}

FolderResult folderFailure(int error, const fs::path& path, const std::string& what) {
    return {path, error, what + " \"" + path.string() + "\": " + std::strerror(error)};
}

// Makes `path` with its missing parents; only the last folder gets `leafMode`.
int makeFolders(const fs::path& path, mode_t leafMode) {
    std::error_code ec;
    if (path.has_parent_path() && path.parent_path() != path) {
        fs::create_directories(path.parent_path(), ec);
        if (ec) {
            return ec.value();
        }
    }
    if (::mkdir(path.c_str(), leafMode) == 0) {
        // mkdir is narrowed by the umask; make the mode exactly what was asked for.
        return ::chmod(path.c_str(), leafMode) == 0 ? 0 : errno;
    }
    return errno == EEXIST ? 0 : errno;
}

}  // namespace

fs::path documentsFolder() {
    {
        const std::lock_guard lock(g_overrideMutex);
        if (g_documentsOverride) {
            return *g_documentsOverride;
        }
    }
    if (auto fromEnv = environmentValue("M2_DOCUMENTS_DIR")) {
        return *fromEnv;
    }
    if (const gchar* xdg = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
        xdg != nullptr && *xdg != '\0') {
        return xdg;
    }
    return homeFolder() / "Documents";
}

void setDocumentsFolderOverride(std::optional<fs::path> folder) {
    const std::lock_guard lock(g_overrideMutex);
    g_documentsOverride = std::move(folder);
}

std::string baseFolderText() {
    std::string text = documentsFolder().string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text + "/Morvane/";
}

FolderResult ensureBaseFolder() {
    fs::path base = baseFolderText();
    base = base.parent_path();  // drop the trailing "/"
    if (const int error = makeFolders(base, 0700); error != 0) {
        return folderFailure(error, base, "Could not create the folder");
    }
    struct stat info {};
    if (::stat(base.c_str(), &info) != 0) {
        return folderFailure(errno, base, "Could not open the folder");
    }
    if (!S_ISDIR(info.st_mode)) {
        return folderFailure(ENOTDIR, base, "Could not open the folder");
    }
    return {base, 0, {}};
}

fs::path privateRuntimeFolderLocation() {
    if (auto runtime = environmentValue("XDG_RUNTIME_DIR"); runtime && runtime->front() == '/') {
        return fs::path(*runtime) / "morvane2";
    }
    return {};
}

fs::path privateDiskFolderLocation() {
    auto tmp = environmentValue("TMPDIR");
    const fs::path parent = tmp && tmp->front() == '/' ? fs::path(*tmp) : fs::path("/tmp");
    return parent / ("morvane2-" + std::to_string(::geteuid()));
}

FolderResult checkedPrivateFolder(const fs::path& folder, bool create) {
    if (create && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return folderFailure(errno, folder, "Could not create the private temporary folder");
    }
    // Check what is really there through a descriptor, so a link swapped in is never followed.
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        return folderFailure(errno, folder, "Could not open the private temporary folder");
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return folderFailure(errno, folder, "Could not open the private temporary folder");
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        return {
            folder, EPERM,
            "The private temporary folder \"" + folder.string() +
                "\" is not safe to use: it must be a folder of your own that only you can open."};
    }
    return {folder, 0, {}};
}

FolderResult privateTemporaryFolder() {
    const fs::path runtime = privateRuntimeFolderLocation();
    return checkedPrivateFolder(runtime.empty() ? privateDiskFolderLocation() : runtime, true);
}

FolderResult privateInstanceFolder() {
    const auto cacheHome = environmentValue("XDG_CACHE_HOME");
    const fs::path cache =
        cacheHome && cacheHome->front() == '/' ? fs::path(*cacheHome) : homeFolder() / ".cache";
    if (const int error = makeFolders(cache, 0700); error != 0) {
        return folderFailure(error, cache, "Could not create the folder");
    }
    return checkedPrivateFolder(cache / "morvane2", true);
}

FolderResult privateDiskFolder() {
    return checkedPrivateFolder(privateDiskFolderLocation(), true);
}

UniqueFd createPlainFile(const fs::path& path) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       S_IRUSR | S_IWUSR));
    if (fd && ::fchmod(fd.get(), S_IRUSR | S_IWUSR) != 0) {
        const int error = errno;
        fd.reset();
        ::unlink(path.c_str());
        errno = error;
    }
    return fd;
}

}  // namespace m2::platform
