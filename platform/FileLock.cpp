#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace m2::platform {

FileLock FileLock::acquire(const std::filesystem::path& lockFile, Mode mode) {
    UniqueFd fd(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd) {
        return FileLock(UniqueFd());
    }
    const int operation = mode == Mode::exclusive ? LOCK_EX : LOCK_SH;
    int result = 0;
    do {
        result = ::flock(fd.get(), operation);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        return FileLock(UniqueFd());
    }
    return FileLock(std::move(fd));
}

}  // namespace m2::platform
