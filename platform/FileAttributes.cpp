#include "platform/FileAttributes.h"

#include <sys/stat.h>

namespace m2::platform {

std::optional<bool> isLocked(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return (info.st_mode & S_IWUSR) == 0;
}

bool setLocked(const std::filesystem::path& path, bool locked) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return false;
    }
    const mode_t bits = info.st_mode & 07777;
    const mode_t wanted = locked ? (bits & ~mode_t{S_IWUSR}) : (bits | S_IWUSR);
    return wanted == bits || ::chmod(path.c_str(), wanted) == 0;
}

}  // namespace m2::platform
