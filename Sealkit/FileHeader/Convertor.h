#pragma once

#include <cstddef>

namespace Morvane::Utils {

class Convertor {
  public:
    // Value of one hexadecimal digit (either case), or -1 for any other character.
    static int hexDigitValue(char c);
    // Decodes count hex characters into count / 2 bytes. False at once for an odd count,
    // and at the first non-hex character (bytes before it are already written).
    [[nodiscard]] static bool HexAsciiToBinary(const char* hex, unsigned char* out,
                                               std::size_t count);
};

}  // namespace Morvane::Utils
