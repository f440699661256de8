#pragma once

#include <string>

namespace Morvane::PathUtils {

// The text after the last "." of the last path component; empty when that component
// has no "." (a "." in a folder name is no extension).
[[nodiscard]] std::string GetFileExtension(const std::string& path);
// The path before that "."; the whole path when the last component has none.
[[nodiscard]] std::string RemoveExtension(const std::string& path);
// Anything at the path counts, decided without following a link: an unreadable file or
// a dangling link exists and must not be replaced; so does a name whose folder cannot
// be searched.
[[nodiscard]] bool doesFileExist(const std::string& path);

}  // namespace Morvane::PathUtils
