#include "Sealkit/Cryptography/IV.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

#include "Sealkit/FileHeader/Convertor.h"
#include "Sealkit/Hash/MD5.h"

namespace {

std::size_t byteCount(int size) {
    return size > 0 ? static_cast<std::size_t>(size) : 0;
}

}  // namespace

// The buffer exists from the start, so getRaw() never hands a mode a null pointer.
IV::IV(int size_, NonceSource nonceSource_)
    : size(size_),
      raw(new unsigned char[byteCount(size_)]()),
      nonceSource(std::move(nonceSource_)) {}

std::uint32_t IV::GenerateNonce() {
    std::random_device device("/dev/urandom");
    std::mt19937 generator(device());
    // A draw over the whole 32-bit range is the generator's first output.
    return static_cast<std::uint32_t>(generator());
}

void IV::generate() {
    const std::size_t n = byteCount(size);
    std::memset(raw.get(), 0, n);
    const std::uint32_t nonce = nonceSource ? nonceSource() : GenerateNonce();

    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<std::int32_t>(nonce));
    Morvane::Security::MD5 digest(text);
    // The digest has 16 bytes; a larger IV keeps zeros beyond them.
    std::memcpy(raw.get(), digest.getDigestRaw(), std::min<std::size_t>(n, 16));

    hexText = Morvane::Utils::Convertor::BinaryToHexAscii(raw.get(), n);
}

void IV::setIV(const std::string& hex) {
    const std::size_t n = byteCount(size);
    std::memset(raw.get(), 0, n);
    if (hex.empty() || hex.size() % 2 != 0) {
        return;
    }
    const std::size_t pairs = std::min(n, hex.size() / 2);
    for (std::size_t i = 0; i < pairs; ++i) {
        if (!Morvane::Utils::Convertor::HexAsciiToBinary(hex.data() + 2 * i, &raw[i], 2)) {
            return;
        }
    }
}
