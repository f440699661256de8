#include "Sealkit/PathUtils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include <cerrno>

namespace Morvane::PathUtils {

namespace {

// Position of the extension's "." within the last component, or npos.
std::string::size_type extensionDot(const std::string& path) {
    const auto dot = path.rfind('.');
    const auto slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return std::string::npos;
    }
    return dot;
}

}  // namespace

std::string GetFileExtension(const std::string& path) {
    const auto dot = extensionDot(path);
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string RemoveExtension(const std::string& path) {
    const auto dot = extensionDot(path);
    return dot == std::string::npos ? path : path.substr(0, dot);
}

bool doesFileExist(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        return true;
    }
    // When the folder cannot be searched nothing is known, so the name counts as taken.
    return errno != ENOENT && errno != ENOTDIR && errno != ENAMETOOLONG;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool NameFits(const std::string& path) {
    const std::string folder = FolderOf(path);
    const long limit = ::pathconf(folder.empty() ? "/" : folder.c_str(), _PC_NAME_MAX);
    const auto max = static_cast<std::size_t>(limit > 0 ? limit : NAME_MAX);
    return FileNameOf(path).size() <= max;
}

}  // namespace Morvane::PathUtils
