#include "platform/StoredFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/FileDescriptor.h"

namespace m2::platform {
namespace {

StoredFileContents unreadable(std::string reason) {
    StoredFileContents contents;
    contents.outcome = StoredFileOutcome::unreadable;
    contents.reason = std::move(reason);
    return contents;
}

}  // namespace

StoredFileContents readStoredFile(const std::filesystem::path& path, std::uint64_t maximumBytes) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        if (errno == ENOENT) {
            return {};
        }
        return unreadable(std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return unreadable(std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return unreadable(S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file");
    }
    if (static_cast<std::uint64_t>(info.st_size) > maximumBytes) {
        return unreadable("it is too large");
    }
    StoredFileContents contents;
    contents.bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return unreadable(std::strerror(errno));
        }
        // The file may grow while it is read.
        if (contents.bytes.size() + static_cast<std::size_t>(n) > maximumBytes) {
            return unreadable("it is too large");
        }
        contents.bytes.append(buffer, static_cast<std::size_t>(n));
    }
    contents.outcome = StoredFileOutcome::read;
    return contents;
}

std::optional<std::filesystem::path> moveStoredFileAside(const std::filesystem::path& path,
                                                         const std::string& suffix) {
    for (int n = 1; n <= 1000; ++n) {
        std::filesystem::path candidate = path;
        candidate += suffix;
        if (n > 1) {
            candidate += "." + std::to_string(n);
        }
        // RENAME_NOREPLACE: a name taken meanwhile is never replaced.
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) ==
            0) {
            return candidate;
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
    }
    errno = EEXIST;
    return std::nullopt;
}

}  // namespace m2::platform
