#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace m2 {

// Rating of a typed password; the raw values run from 1 to 7.
enum class PasswordStrengthValue : int {
    toShort = 1,
    veryWeak = 2,
    Weak = 3,
    Fair = 4,
    Good = 5,
    Strong = 6,
    Common = 7,
};

// The value of a raw value, absent outside 1 to 7.
[[nodiscard]] std::optional<PasswordStrengthValue> passwordStrengthValue(int rawValue);
[[nodiscard]] constexpr int rawValue(PasswordStrengthValue v) {
    return static_cast<int>(v);
}
// The case's position, 0 to 6.
[[nodiscard]] constexpr std::size_t hashValue(PasswordStrengthValue v) {
    return static_cast<std::size_t>(rawValue(v) - 1);
}
// Name of the indicator image resource.
[[nodiscard]] std::string_view image(PasswordStrengthValue v);
// The advice sentence shown under the indicator.
[[nodiscard]] std::string_view details(PasswordStrengthValue v);

struct PasswordStrengthRating {
    PasswordStrengthValue value;
    std::string_view label;  // "Empty", "Too Short", "Very Weak", ... "Common"
};

// Rates a password (UTF-8) from its length in characters and its character classes; one
// of the common passwords is rated Common whatever its score.
[[nodiscard]] PasswordStrengthRating passwordStrength(std::string_view password);

}  // namespace m2
