#include "Sealkit/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace Morvane::Security {

namespace {

constexpr mode_t kPrivate = 0600;

// The name through which a linkat() can reach an open unnamed file.
std::string procPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// Errors by which open() says the file system (or kernel) has no unnamed files.
bool unnamedUnsupported(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

}  // namespace

OutputFile::~OutputFile() {
    discard();
}

int OutputFile::create(const std::string& folder, const std::string& temporaryName,
                       bool allowUnnamed) {
    discard();
    const std::string where = folder.empty() ? std::string("/") : folder;
    if (allowUnnamed) {
        const int fd = ::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, kPrivate);
        if (fd >= 0) {
            struct stat st {};
            // Without /proc the file could never be given a name.
            if (::lstat(procPath(fd).c_str(), &st) == 0) {
                stream.reset(::fdopen(fd, "w+b"));
                if (stream != nullptr) {
                    return 0;
                }
            }
            ::close(fd);
        } else if (!unnamedUnsupported(errno)) {
            return errno;
        }
    }
    const std::string path = (folder.empty() ? std::string() : folder) + "/" + temporaryName;
    stream.reset(createExclusiveFile(path, kPrivate));
    if (stream == nullptr) {
        return errno != 0 ? errno : EIO;
    }
    temporary = path;
    return 0;
}

bool OutputFile::finish(mode_t permissions) {
    finalPermissions = permissions;
    // A named temporary stays private until it has its final name, so a leftover of a
    // crash is still recognised as this program's.
    return stream != nullptr && std::fflush(stream.get()) == 0 &&
           (!temporary.empty() || ::fchmod(::fileno(stream.get()), permissions) == 0) &&
           ::fsync(::fileno(stream.get())) == 0;
}

bool OutputFile::publish(const std::string& path) {
    if (stream == nullptr) {
        errno = EBADF;
        return false;
    }
    const int fd = ::fileno(stream.get());
    if (temporary.empty()) {
        if (::linkat(AT_FDCWD, procPath(fd).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) !=
            0) {
            return false;
        }
    } else {
        if (!renameNoReplace(temporary, path)) {
            return false;
        }
        // Too late to fail: the file is complete under its name, at worst more private.
        (void)::fchmod(fd, finalPermissions);
    }
    temporary.clear();
    stream.reset();
    return true;
}

void OutputFile::discard() {
    stream.reset();
    if (!temporary.empty()) {
        (void)::unlink(temporary.c_str());
        temporary.clear();
    }
}

bool isOwnTemporary(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 07777) == kPrivate && st.st_nlink == 1;
}

}  // namespace Morvane::Security
