#include "Sealkit/FileHeader/Convertor.h"

namespace Morvane::Utils {

int Convertor::hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool Convertor::HexAsciiToBinary(const char* hex, unsigned char* out, std::size_t count) {
    if (count % 2 != 0) {
        return false;
    }
    for (std::size_t i = 0; i < count; i += 2) {
        const int high = hexDigitValue(hex[i]);
        const int low = hexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out[i / 2] = static_cast<unsigned char>(high * 16 + low);
    }
    return true;
}

std::string Convertor::BinaryToHexAscii(const unsigned char* bytes, std::size_t count) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

}  // namespace Morvane::Utils
