#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace m2::platform {

FileLock FileLock::acquire(const std::filesystem::path& lockFile) {
    UniqueFd fd(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd) {
        return FileLock(UniqueFd());
    }
    int result = 0;
    do {
        result = ::flock(fd.get(), LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        return FileLock(UniqueFd());
    }
    return FileLock(std::move(fd));
}

}  // namespace m2::platform
