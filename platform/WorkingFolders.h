#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/Paths.h"

namespace m2::platform {

// What a working sub-folder is for. Its name starts with the purpose ("document-",
// "notes-", "rekeying-"), so a later start can tell which ones a crash left behind.
enum class WorkingFolderPurpose { Document, Notes, Rekeying };

// The second name a plain copy has in its working sub-folder while it is sealed again, so
// the edits are never held by the sealed copy alone before it is in place.
inline constexpr const char* kKeptPlainName = ".m2-edited-copy";

// Room asked of the runtime folder beyond twice the file's size (the encrypted copy and the
// plain one exist at once while decrypting, the plain and the sealed one while sealing).
inline constexpr std::uintmax_t kWorkingFolderMargin = 1024 * 1024;

// Makes a fresh sub-folder (mkdtemp, mode 0700) for one operation on a file of `bytes`
// bytes: in the private temporary folder when it has room (twice `bytes` plus the margin),
// else in the private disk folder (when that one cannot be used, the temporary folder all
// the same). Fails when the private temporary folder is unsafe. While this process keeps
// the sub-folder, a start-up clean-up in another process leaves it alone.
FolderResult makeWorkingFolder(WorkingFolderPurpose purpose, std::uintmax_t bytes);

// The working sub-folder that holds `path` (or is `path`), when `path` lies inside one of
// ours in either private folder; judged on the text of the path, "//" and "." allowed.
[[nodiscard]] std::optional<std::filesystem::path> workingFolderOf(
    const std::filesystem::path& path);

// Removes the working sub-folder that holds `path` (a plain copy, its sealed copy, an
// editor's backup beside them, or the sub-folder itself) with everything in it, never
// following a link; files on a disk (not a memory file system) are overwritten first.
// Refuses anything outside a working sub-folder: false, nothing touched. True when the
// sub-folder is gone (also when it was gone already).
[[nodiscard]] bool removeWorkingFolder(const std::filesystem::path& path);

// Removes one plain file; inside a working sub-folder on a disk it is overwritten first, as
// its blocks would otherwise stay readable. True when the file is gone.
[[nodiscard]] bool removePlainCopy(const std::filesystem::path& path);

// The document sub-folders in both private folders that no running process keeps and that
// were made before `madeBefore` (a younger one may still be on its way to its lock): what a
// launcher that ended without finishing left behind.
[[nodiscard]] std::vector<std::filesystem::path> unheldDocumentFolders(
    std::filesystem::file_time_type madeBefore);

// For a start of the main program: removes the notes and re-keying sub-folders a crash left
// in both private folders (they only ever hold a copy of a file still sealed elsewhere),
// except those a running process still keeps. Document sub-folders are never touched: they
// may hold the only copy of the user's edits. Answers how many were removed.
std::size_t removeStaleWorkingFolders();

}  // namespace m2::platform
