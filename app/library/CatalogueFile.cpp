#include "app/library/CatalogueFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AtomicWrite.h"
#include "platform/FileDescriptor.h"
#include "platform/Paths.h"
#include "platform/StoredFile.h"

namespace m2 {

namespace {

enum class Pending {
    none,
    moveAside,     // damaged and still in place: never write over it
    keepOriginal,  // loaded with entries dropped: copy it aside before writing
};

std::mutex stateMutex;
std::map<std::filesystem::path, Pending>& states() {
    static std::map<std::filesystem::path, Pending> map;
    return map;
}

void setPending(const std::filesystem::path& path, Pending pending) {
    std::lock_guard lock(stateMutex);
    if (pending == Pending::none) {
        states().erase(path);
    } else {
        states()[path] = pending;
    }
}

Pending pendingFor(const std::filesystem::path& path) {
    std::lock_guard lock(stateMutex);
    const auto it = states().find(path);
    return it == states().end() ? Pending::none : it->second;
}

bool entryExists(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// The first free "<path>.unreadable", "<path>.unreadable.2", ...: an earlier copy set aside
// may be the only one of an older library, so none is replaced.
std::optional<std::filesystem::path> asideName(const std::filesystem::path& path) {
    for (int n = 1; n <= 1000; ++n) {
        std::filesystem::path candidate = path;
        candidate += ".unreadable";
        if (n > 1) {
            candidate += "." + std::to_string(n);
        }
        if (!entryExists(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

bool moveAside(const std::filesystem::path& path) {
    // Whatever stands there (a file, a FIFO, a folder, a link) is renamed, never copied.
    if (const auto aside = platform::moveStoredFileAside(path, ".unreadable")) {
        std::cout << path.filename().string() << " could not be read; it was kept as "
                  << aside->filename().string() << std::endl;
        return true;
    }
    std::cout << path.string() << " could not be read and could not be moved aside ("
              << std::strerror(errno) << "); it will not be written over" << std::endl;
    return false;
}

bool copyAside(const std::filesystem::path& path) {
    const auto aside = asideName(path);
    if (aside) {
        if (const platform::WriteResult result = platform::copyFileAtomically(path, *aside)) {
            std::cout << "Entries of " << path.filename().string()
                      << " could not be used; the original was kept as "
                      << aside->filename().string() << std::endl;
            return true;
        }
    }
    std::cout << "The original " << path.string()
              << " could not be kept aside; it will not be written over" << std::endl;
    return false;
}

// Catalogues of a million entries stay well below these; a larger file or a longer value
// than any path can make is damage (or a trap), read as unreadable.
constexpr std::uint64_t kMaximumCatalogueBytes = std::uint64_t{1} << 30;
constexpr std::size_t kMaximumValueBytes = 64 * 1024;

// Whether the file already holds exactly the pieces' bytes; reading stops at the first
// difference, and pieces are awaited only as far as the file agrees.
bool holdsExactly(const std::filesystem::path& path, const platform::PieceSource& pieces) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    std::vector<char> buffer(1 << 20);
    std::uint64_t compared = 0;
    for (std::size_t i = 0;; ++i) {
        const std::optional<std::string_view> piece = pieces(i);
        if (!piece) {
            return compared == static_cast<std::uint64_t>(info.st_size);
        }
        if (compared + piece->size() > static_cast<std::uint64_t>(info.st_size)) {
            return false;
        }
        for (std::string_view rest = *piece; !rest.empty();) {
            const ssize_t n = ::read(fd.get(), buffer.data(), std::min(buffer.size(), rest.size()));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0 ||
                std::memcmp(buffer.data(), rest.data(), static_cast<std::size_t>(n)) != 0) {
                return false;
            }
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
        compared += piece->size();
    }
}

}  // namespace

std::optional<platform::XmlDocument> CatalogueFile::load(const std::filesystem::path& path,
                                                        std::size_t maximumDepth) {
    const platform::StoredFileContents contents =
        platform::readStoredFile(path, kMaximumCatalogueBytes);
    if (contents.outcome == platform::StoredFileOutcome::missing) {
        setPending(path, Pending::none);
        return std::nullopt;
    }
    std::optional<platform::XmlDocument> document;
    if (contents.outcome == platform::StoredFileOutcome::read) {
        document = platform::XmlDocument::parse(contents.bytes,
                                                {maximumDepth, kMaximumValueBytes});
    }
    if (document) {
        setPending(path, Pending::none);
        return document;
    }
    setPending(path, moveAside(path) ? Pending::none : Pending::moveAside);
    return std::nullopt;
}

void CatalogueFile::setAside(const std::filesystem::path& path) {
    setPending(path, moveAside(path) ? Pending::none : Pending::moveAside);
}

void CatalogueFile::keepOriginalBeforeNextSave(const std::filesystem::path& path) {
    if (pendingFor(path) == Pending::none) {
        setPending(path, Pending::keepOriginal);
    }
}

bool CatalogueFile::save(const std::filesystem::path& path, const platform::XmlDocument& document,
                         std::string* reason) {
    const std::string bytes = document.serialize();
    return save(
        path,
        [&bytes](std::size_t i) {
            return i == 0 ? std::optional<std::string_view>(bytes) : std::nullopt;
        },
        reason);
}

bool CatalogueFile::save(const std::filesystem::path& path, const platform::PieceSource& pieces,
                         std::string* reason) {
    const auto fail = [&](const std::string& why) {
        if (reason != nullptr) {
            *reason = why;
        }
        return false;
    };
    switch (pendingFor(path)) {
        case Pending::moveAside:
            if (entryExists(path) && !moveAside(path)) {
                return fail("A damaged copy of the file could not be moved aside");
            }
            break;
        case Pending::keepOriginal:
            if (entryExists(path) && !copyAside(path)) {
                return fail("The file's earlier version could not be kept");
            }
            break;
        case Pending::none:
            break;
    }
    setPending(path, Pending::none);

    if (path.parent_path() == platform::documentsFolder() / "Morvane") {
        if (const platform::FolderResult base = platform::ensureBaseFolder(); !base) {
            std::cout << "File not written successfully: " << base.message << std::endl;
            return fail(base.message);
        }
    }
    // An operation that changed nothing writes nothing.
    if (holdsExactly(path, pieces)) {
        return true;
    }
    const platform::WriteResult result = platform::writeFileAtomically(path, pieces);
    if (!result) {
        std::cout << "File not written successfully: " << path.string() << ": " << result.message
                  << std::endl;
        return fail(result.message);
    }
    return true;
}

}  // namespace m2
