#pragma once

#include <string>

namespace m2::platform {

// A new random UUID as text: 36 characters, upper-case hexadecimal in 8-4-4-4-12 groups.
[[nodiscard]] std::string newUuidString();

}  // namespace m2::platform
