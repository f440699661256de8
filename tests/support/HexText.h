#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace m2test {

inline std::string lowerHex(const unsigned char* bytes, std::size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

// The deterministic message the hash tests feed to both this code and the reference
// tools: byte i is (7 * i + 3) mod 256.
inline std::vector<unsigned char> patternBytes(std::size_t length) {
    std::vector<unsigned char> out(length);
    for (std::size_t i = 0; i < length; ++i) {
        out[i] = static_cast<unsigned char>((7 * i + 3) % 256);
    }
    return out;
}

}  // namespace m2test
