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

// Replaces the file at `path` with `bytes`: a temporary file whose name starts with "." is
// written in the same folder, synced, renamed over `path`, and the folder is synced. An
// existing file keeps its permission bits; a new one gets `newFileMode`. When `path` is a
// symbolic link, the file it points to is replaced and the link stays.
WriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                mode_t newFileMode = 0600);

// The content in pieces: piece(i) answers the i-th piece (waiting for it if need be), or
// nothing after the last. Each piece is on its way to the disk while the next is awaited.
using PieceSource = std::function<std::optional<std::string_view>(std::size_t)>;
WriteResult writeFileAtomically(const std::filesystem::path& path, const PieceSource& pieces,
                                mode_t newFileMode = 0600);

// The same with the content streamed from the file at `source`; a new destination takes the
// source's permission bits. `source` is left as it is.
WriteResult copyFileAtomically(const std::filesystem::path& source,
                               const std::filesystem::path& destination);

}  // namespace m2::platform
