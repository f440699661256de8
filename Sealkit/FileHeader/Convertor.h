#pragma once

#include <cstddef>
#include <string>

namespace Morvane::Utils {

class Convertor {
  public:
    // Value of one hexadecimal digit (either case), or -1 for any other character.
    static int hexDigitValue(char c);
    // Decodes count hex characters into count / 2 bytes. False at once for an odd count,
    // and at the first non-hex character (bytes before it are already written).
    [[nodiscard]] static bool HexAsciiToBinary(const char* hex, unsigned char* out,
                                               std::size_t count);
    // Upper-case hex, two digits a byte: how digests, IVs, hints and names are stored.
    [[nodiscard]] static std::string BinaryToHexAscii(const unsigned char* bytes,
                                                      std::size_t count);
};

}  // namespace Morvane::Utils
