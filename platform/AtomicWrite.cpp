#include "platform/AtomicWrite.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <system_error>
#include <vector>

#include "platform/FileDescriptor.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace m2::platform {
namespace {

// When this program started, as near as a static can tell, less a margin: file times come
// from the kernel's coarse clock, which lags now() by up to a tick, so a file this run wrote
// at once could otherwise read as older than the run.
const auto kProgramStart = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(2);

bool temporaryLetters(std::string_view text) {
    return text.size() == 6 && std::all_of(text.begin(), text.end(),
                                           [](unsigned char c) { return std::isalnum(c) != 0; });
}

// Our name patterns: the short one, and the older ".<sibling>.XXXXXX" beside a sealed
// document or in the base folder, while that sibling is still there.
bool temporaryName(const fs::path& folder, const std::string& name) {
    if (name.starts_with(kTemporaryPrefix)) {
        return temporaryLetters(std::string_view(name).substr(std::strlen(kTemporaryPrefix)));
    }
    if (name.size() < 9 || name[0] != '.' || name[name.size() - 7] != '.' ||
        !temporaryLetters(std::string_view(name).substr(name.size() - 6))) {
        return false;
    }
    const std::string sibling = name.substr(1, name.size() - 8);
    std::error_code ec;
    return (sibling.ends_with(".m2p") ||
            fs::equivalent(folder, documentsFolder() / "Morvane", ec)) &&
           fs::is_regular_file(folder / sibling, ec);
}

WriteResult failure(int error, const fs::path& path, const char* what) {
    const int code = error == 0 ? EIO : error;
    return {code, std::string(what) + " \"" + path.string() + "\": " + std::strerror(code)};
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The file the caller means: a symbolic link is followed so that the link itself survives.
fs::path resolveTarget(const fs::path& path) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        fs::path target = fs::weakly_canonical(path, ec);
        if (!ec) {
            return target;
        }
    }
    return path;
}

void syncFolder(const fs::path& folder) {
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // The rename has already happened; a folder that cannot be synced (some file systems
    // refuse) leaves the new content in place, so it is reported but not treated as lost.
    if (!dir || ::fsync(dir.get()) != 0) {
        std::printf("Could not sync folder %s: %s\n", folder.c_str(), std::strerror(errno));
    }
}

// Writes through `fill` into a fresh temporary in `folder`, syncs it and gives it its name
// through `name` (errno, or 0 once it has one: the name it took in `named`), then its mode;
// `target` names the file in messages.
WriteResult writeThenName(const fs::path& folder, const fs::path& target, mode_t mode,
                          const std::function<int(int)>& fill,
                          const std::function<int(const fs::path&)>& name) {
    // A short name of fixed length: any name the folder allows also leaves room for it.
    std::string pattern = (folder / (std::string(kTemporaryPrefix) + "XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    UniqueFd fd(::mkostemp(buffer.data(), O_CLOEXEC));
    if (!fd) {
        return failure(errno, target, "Could not save");
    }
    // Held while it is written, so a sweep of leftovers in another process passes it by.
    (void)::flock(fd.get(), LOCK_EX | LOCK_NB);
    const fs::path temporary(buffer.data());
    auto abandon = [&](int error) {
        fd.reset();
        ::unlink(temporary.c_str());
        return failure(error, target, "Could not save");
    };

    if (const int error = fill(fd.get()); error != 0) {
        return abandon(error);
    }
    if (::fsync(fd.get()) != 0) {
        return abandon(errno);
    }
    if (const int error = name(temporary); error != 0) {
        return abandon(error);
    }
    // The mode only once the name is the target's: a temporary that a kill leaves stays 0600,
    // which is what the sweep of leftovers looks for.
    if (mode != 0600 && ::fchmod(fd.get(), mode) != 0) {
        std::fprintf(stderr, "Could not give %s its permissions back\n", target.c_str());
    }
    syncFolder(folder);
    // Synced already: a close error can no longer lose what was written.
    (void)fd.reset();
    return {};
}

// Writes through `fill` into a fresh temporary sibling of `target` and renames it over.
WriteResult replaceWith(const fs::path& requested, mode_t newFileMode,
                        const std::function<int(int)>& fill) {
    const fs::path target = resolveTarget(requested);
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }

    mode_t mode = newFileMode & 07777;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            return failure(EISDIR, target, "Could not save");
        }
        mode = existing.st_mode & 07777;
    }
    return writeThenName(folder, target, mode, fill, [&target](const fs::path& temporary) {
        return ::rename(temporary.c_str(), target.c_str()) == 0 ? 0 : errno;
    });
}

// Opens `source` for a copy: its descriptor and mode, or the failure.
WriteResult openSource(const fs::path& source, UniqueFd& in, mode_t& mode) {
    in = UniqueFd(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!in || ::fstat(in.get(), &info) != 0) {
        return failure(errno, source, "Could not read");
    }
    if (!S_ISREG(info.st_mode)) {
        return failure(EINVAL, source, "Could not read");
    }
    mode = info.st_mode & 0777;
    return {};
}

// A fill that copies what `in` holds from where it stands.
std::function<int(int)> copyingFrom(const UniqueFd& in) {
    return [&in](int fd) {
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            if (n == 0) {
                return 0;
            }
            if (!writeAll(fd, buffer.data(), static_cast<size_t>(n))) {
                return errno;
            }
        }
    };
}

}  // namespace

std::size_t removeLeftoverTemporaries(const fs::path& folder) {
    std::size_t removed = 0;
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::end(it); it.increment(ec)) {
        const fs::path& path = it->path();
        if (!temporaryName(folder, path.filename().string())) {
            continue;
        }
        const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid() || (info.st_mode & 07777) != 0600 || info.st_nlink != 1) {
            continue;
        }
        std::error_code timeError;
        const auto written = fs::last_write_time(path, timeError);
        if (timeError || written >= kProgramStart || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            continue;  // this run's, or still being written by a live process
        }
        if (::unlink(path.c_str()) == 0) {
            ++removed;
        }
    }
    return removed;
}

WriteResult writeFileAtomically(const fs::path& path, std::string_view bytes, mode_t newFileMode) {
    return replaceWith(path, newFileMode, [bytes](int fd) {
        return writeAll(fd, bytes.data(), bytes.size()) ? 0 : errno;
    });
}

WriteResult writeFileAtomically(const fs::path& path, const PieceSource& pieces,
                                mode_t newFileMode) {
    return replaceWith(path, newFileMode, [&pieces](int fd) {
        off_t written = 0;
        for (std::size_t i = 0;; ++i) {
            const std::optional<std::string_view> piece = pieces(i);
            if (!piece) {
                return 0;
            }
            if (!writeAll(fd, piece->data(), piece->size())) {
                return errno;
            }
            // Only a head start for the fsync that follows, which reports any failure.
            (void)::sync_file_range(fd, written, static_cast<off_t>(piece->size()),
                                    SYNC_FILE_RANGE_WRITE);
            written += static_cast<off_t>(piece->size());
        }
    });
}

WriteResult copyFileAtomically(const fs::path& source, const fs::path& destination) {
    UniqueFd in;
    mode_t mode = 0600;
    if (WriteResult opened = openSource(source, in, mode); !opened) {
        return opened;
    }
    return replaceWith(destination, mode, copyingFrom(in));
}

WriteResult copyFileToFreeName(const fs::path& source, const std::function<fs::path(int)>& names,
                               fs::path& placed) {
    UniqueFd in;
    mode_t mode = 0600;
    if (WriteResult opened = openSource(source, in, mode); !opened) {
        return opened;
    }
    const fs::path first = names(0);
    fs::path folder = first.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    return writeThenName(folder, first, mode, copyingFrom(in), [&](const fs::path& temporary) {
        for (int n = 0;; ++n) {
            const fs::path candidate = names(n);
            if (candidate.empty()) {
                return EEXIST;
            }
            // RENAME_NOREPLACE: a name taken meanwhile is never replaced.
            if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, candidate.c_str(),
                            RENAME_NOREPLACE) == 0) {
                placed = candidate;
                return 0;
            }
            if (errno != EEXIST) {
                return errno;
            }
        }
    });
}

}  // namespace m2::platform
