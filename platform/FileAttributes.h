#pragma once

#include <filesystem>
#include <optional>

namespace m2::platform {

// The "locked" flag of a file is its owner-write permission bit: locked means the owner
// cannot write. (The real immutable flag needs root on Linux.)

// Absent when the file cannot be examined.
[[nodiscard]] std::optional<bool> isLocked(const std::filesystem::path& path);
// Clears or sets only the owner-write bit; the other permission bits stay. False on failure.
[[nodiscard]] bool setLocked(const std::filesystem::path& path, bool locked);

}  // namespace m2::platform
