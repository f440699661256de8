#pragma once

#include <optional>
#include <string>

namespace m2::platform {

// The value of an environment variable; std::nullopt when it is unset or empty, since an
// empty value means "not set" to every caller here.
[[nodiscard]] std::optional<std::string> environmentValue(const char* name);

}  // namespace m2::platform
