#include "Sealkit/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Morvane::Security {

namespace {

FILE* streamOf(int fd, const char* mode) {
    FILE* file = ::fdopen(fd, mode);
    if (file == nullptr) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return file;
}

}  // namespace

bool closeChecked(FilePtr& file) {
    FILE* stream = file.release();
    return stream == nullptr || std::fclose(stream) == 0;
}

FILE* openRegularFile(const std::string& path, int flags, const char* mode, mode_t* permissions) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return nullptr;
    }
    if (permissions != nullptr) {
        *permissions = st.st_mode & 07777;
    }
    return streamOf(fd, mode);
}

FILE* createExclusiveFile(const std::string& path, mode_t permissions) {
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, permissions);
    return fd < 0 ? nullptr : streamOf(fd, "w+b");
}

bool flushAndSync(FILE* file) {
    return std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
}

bool syncParentFolder(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return synced;
}

bool renameNoReplace(const std::string& from, const std::string& to) {
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

}  // namespace Morvane::Security
