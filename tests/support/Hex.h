#pragma once

#include <string>
#include <vector>

#include "support/HexText.h"

namespace m2test {

inline std::string toHex(const std::vector<unsigned char>& bytes) {
    return lowerHex(bytes.data(), bytes.size());
}

// Bytes of an even-length hex text (either case); for test vectors.
std::vector<unsigned char> fromHex(const std::string& hex);

}  // namespace m2test
