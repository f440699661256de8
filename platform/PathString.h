#pragma once

#include <string>
#include <string_view>

namespace m2::platform {

// Path texts handled as strings, the way the catalogue stores them: trailing slashes are
// ignored, "/" stays "/", and nothing touches the file system. std::filesystem::path
// differs here ("/a/b/" has an empty filename), so the catalogue does not use it for this.

// "/a/b.txt" -> "b.txt", "/a/b/" -> "b", "/" -> "/", "a" -> "a", "" -> "".
[[nodiscard]] std::string lastPathComponent(std::string_view path);

// "/a/b/" -> "/a", "/a" -> "/", "/" -> "/", "a" -> "", "a/b" -> "a", "" -> "".
[[nodiscard]] std::string deletingLastPathComponent(std::string_view path);

}  // namespace m2::platform
