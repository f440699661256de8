#pragma once

#include <optional>
#include <string>

namespace m2 {

// Outcome of a single-document security operation. The raw values start at 1.
enum class securityResult {
    OK = 1,
    AlreadyEncrypted = 2,
    NotEncrypted = 3,
    CouldNotOpenFile = 4,
    CouldNotShredFile = 5,
    CouldNotReencrypt = 6,
    CouldNotCopyToTempLocation = 7,
    InvalidPassword = 8,
};

[[nodiscard]] std::string asString(securityResult result);
[[nodiscard]] constexpr int rawValue(securityResult result) {
    return static_cast<int>(result);
}
// No value outside 1-8.
[[nodiscard]] std::optional<securityResult> securityResultFromRawValue(int rawValue);

}  // namespace m2
