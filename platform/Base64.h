#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace m2::platform {

// Standard Base64 (RFC 4648 alphabet, with padding, no line breaks).
[[nodiscard]] std::string base64Encode(std::span<const std::uint8_t> bytes);

}  // namespace m2::platform
