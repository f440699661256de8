#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace m2::platform {

namespace {

UniqueFd lockedFile(const std::filesystem::path& lockFile, int operation) {
    UniqueFd fd(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd) {
        return fd;
    }
    int result = 0;
    do {
        result = ::flock(fd.get(), operation);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        fd.reset();
    }
    return fd;
}

}  // namespace

FileLock FileLock::acquire(const std::filesystem::path& lockFile) {
    return FileLock(lockedFile(lockFile, LOCK_EX));
}

FileLock FileLock::tryAcquire(const std::filesystem::path& lockFile) {
    return FileLock(lockedFile(lockFile, LOCK_EX | LOCK_NB));
}

}  // namespace m2::platform
