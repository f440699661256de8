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
// A name too long for its folder cannot exist, so it is free (creating it then fails
// with the file system's own reason).
[[nodiscard]] bool doesFileExist(const std::string& path);

// Everything before the last "/": "." for a bare name, which is in the current folder,
// and "" for a name at the root.
[[nodiscard]] std::string FolderOf(const std::string& path);
// The last component: everything after the last "/".
[[nodiscard]] std::string FileNameOf(const std::string& path);
// Whether the last component fits the folder's limit on name length.
[[nodiscard]] bool NameFits(const std::string& path);

}  // namespace Morvane::PathUtils
