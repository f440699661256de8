#pragma once

#include <array>
#include <string_view>

namespace m2 {

// The 500 most commonly used passwords, most common first; fixed for the whole process.
[[nodiscard]] const std::array<std::string_view, 500>& commonPasswords();

}  // namespace m2
