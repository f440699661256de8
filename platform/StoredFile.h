#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace m2::platform {

// How reading one of the program's own stored files (settings, catalogue) went.
enum class StoredFileOutcome {
    read,        // the whole file is in `bytes`
    missing,     // nothing of that name
    unreadable,  // not a regular file, too large, or a read error: `reason` says which
};

struct StoredFileContents {
    StoredFileOutcome outcome = StoredFileOutcome::missing;
    std::string bytes;
    std::string reason;
};

// Reads a stored file whole without ever blocking or growing without bound: it is opened
// non-blocking, read only when it is a regular file (a symbolic link to one is fine), and
// refused when it holds more than `maximumBytes`. A FIFO, device or folder in its place is
// unreadable, never waited on.
[[nodiscard]] StoredFileContents readStoredFile(const std::filesystem::path& path,
                                                std::uint64_t maximumBytes);

// Renames the stored file (whatever it is: a file, link, FIFO or folder) to the first free
// name of "<path><suffix>", "<path><suffix>.2", ...; an earlier file set aside is never
// replaced. Absent, with errno set, when it could not be moved.
[[nodiscard]] std::optional<std::filesystem::path> moveStoredFileAside(
    const std::filesystem::path& path, const std::string& suffix);

}  // namespace m2::platform
