#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/FileDescriptor.h"

namespace m2::platform {

// A folder the program may use, or why it cannot.
struct [[nodiscard]] FolderResult {
    std::filesystem::path path;
    int error = 0;        // errno, or EPERM for a folder in an unsafe state
    std::string message;  // one sentence for the user; empty on success

    [[nodiscard]] bool ok() const { return error == 0; }
    explicit operator bool() const { return ok(); }
};

// The user's Documents folder: the override when one is set, else the environment variable
// M2_DOCUMENTS_DIR (lets a test run child programs without touching the real home), else the
// XDG documents directory, else ~/Documents. Not created here.
[[nodiscard]] std::filesystem::path documentsFolder();

// Points documentsFolder() somewhere else for this process; std::nullopt removes the override.
void setDocumentsFolderOverride(std::optional<std::filesystem::path> folder);

// "<Documents>/Morvane/" as text, with the trailing "/"; the folder is not created.
[[nodiscard]] std::string baseFolderText();

// "<Documents>/Morvane", created with its parents when missing (mode 0700 when new).
FolderResult ensureBaseFolder();

// The private per-user folder for plain copies, created when missing: "morvane2" under
// $XDG_RUNTIME_DIR when set, else "morvane2-<uid>" under $TMPDIR or /tmp. It must be a real
// folder (not a symbolic link), owned by this user, with no access for group or others;
// anything else fails.
FolderResult privateTemporaryFolder();

// The private on-disk folder "morvane2-<uid>" under $TMPDIR or /tmp, created when missing,
// with the same checks; for plain copies too large for the runtime folder, a small tmpfs.
FolderResult privateDiskFolder();

// Where the two private folders are, without creating or checking anything; the runtime
// one is empty when $XDG_RUNTIME_DIR is not set.
[[nodiscard]] std::filesystem::path privateRuntimeFolderLocation();
[[nodiscard]] std::filesystem::path privateDiskFolderLocation();

// The private per-user folder where the one instance of the program holds its lock and
// listens: "morvane2" in the user's cache folder ($XDG_CACHE_HOME, else ~/.cache), both created
// when missing, checked as privateTemporaryFolder is. Unlike the runtime folder it is the same
// whether or not $XDG_RUNTIME_DIR is set, which su and ssh sessions may not do.
FolderResult privateInstanceFolder();

// Checks `folder` as privateTemporaryFolder does (a real folder, ours, no access for group
// or others), first creating it with mode 0700 when `create` is set.
FolderResult checkedPrivateFolder(const std::filesystem::path& folder, bool create);

// Creates a new plain file exclusively (never follows a link, never reuses a file), mode 0600.
// Answers an invalid descriptor with errno set when the file exists or cannot be made.
[[nodiscard]] UniqueFd createPlainFile(const std::filesystem::path& path);

}  // namespace m2::platform
