#pragma once

#include <filesystem>
#include <string>

namespace m2::test {

// Whether xmllint, a parser independent of ours, accepts the file as well-formed XML.
[[nodiscard]] bool xmllintAcceptsFile(const std::filesystem::path& file);
// The same for bytes in memory.
[[nodiscard]] bool xmllintAccepts(const std::string& bytes);

}  // namespace m2::test
