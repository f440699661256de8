#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace m2::platform {

// Outcome of a file replacement. On failure the file at the destination is exactly as it
// was before the call and no temporary file is left behind.
struct [[nodiscard]] WriteResult {
    int error = 0;        // errno of the step that failed; 0 on success
    std::string message;  // one sentence for the user; empty on success

    [[nodiscard]] bool ok() const { return error == 0; }
    explicit operator bool() const { return ok(); }
};

// How the name of a temporary file of ours begins; six letters or digits follow.
inline constexpr const char* kTemporaryPrefix = ".m2-";

// Replaces the file at `path` with `bytes`: a temporary file ".m2-XXXXXX" (a short name, so
// it fits wherever `path` does) is written in the same folder, synced, renamed over `path`, and the
// folder is synced. An existing file keeps its permission bits; a new one gets `newFileMode`. When
// `path` is a symbolic link, the file it points to is replaced and the link stays.
WriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                mode_t newFileMode = 0600);

// The content in pieces: piece(i) answers the i-th piece (waiting for it if need be), or
// nothing after the last. Each piece is on its way to the disk while the next is awaited.
using PieceSource = std::function<std::optional<std::string_view>(std::size_t)>;
WriteResult writeFileAtomically(const std::filesystem::path& path, const PieceSource& pieces,
                                mode_t newFileMode = 0600);

// Removes the temporaries a killed run of ours left in `folder` (not below it): a name of our
// patterns (".m2-XXXXXX", or the older ".<name>.XXXXXX" beside an existing <name> that is a
// sealed document or lies in the base folder), a regular
// file of this user's with mode 0600 and one link, written before this program started and
// held by no live writer. Nothing else is touched. Answers how many went.
std::size_t removeLeftoverTemporaries(const std::filesystem::path& folder);

// The same with the content streamed from the file at `source`; a new destination takes the
// source's permission bits. `source` is left as it is.
WriteResult copyFileAtomically(const std::filesystem::path& source,
                               const std::filesystem::path& destination);

// Copies the file at `source` to a new file in the folder of `names(0)`, named by the first of
// `names(0)`, `names(1)`, ... that no file holds (an empty name ends the list), written and
// synced before it takes that name; no file is ever replaced. `placed` receives the name. It
// takes the source's permission bits.
WriteResult copyFileToFreeName(const std::filesystem::path& source,
                               const std::function<std::filesystem::path(int)>& names,
                               std::filesystem::path& placed);

}  // namespace m2::platform
