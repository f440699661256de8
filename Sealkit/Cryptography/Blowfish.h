#pragma once

#include <cstdint>
#include <memory>

#include "Sealkit/Cryptography/IBlockCipher.h"

namespace Morvane::Security {

// Blowfish, for reading files of older format versions. An 8-byte block is two 32-bit
// little-endian words (bytes 0-3 and 4-7), the reverse of the usual presentation of
// each half in published vectors.
class Blowfish : public IBlockCipher {
  public:
    Blowfish();
    ~Blowfish() override;
    Blowfish(const Blowfish&) = delete;
    Blowfish& operator=(const Blowfish&) = delete;

    // The standard key schedule with the key used cyclically; any length of 1 or more.
    // A length below 1 leaves the cipher as it was.
    void Initialize(const unsigned char* key, int length) override;
    // Writes length rounded up to 8 bytes; a final partial block is zero-filled first.
    void Encode(const unsigned char* input, unsigned char* output,
                unsigned int length) const override;
    // Reads and writes whole blocks for every offset below length.
    void Decode(const unsigned char* input, unsigned char* output,
                unsigned int length) const override;
    [[nodiscard]] int getBlockSize() const override { return 8; }

    [[nodiscard]] static unsigned int GetOutputLength(unsigned int length) {
        return (length + 7) / 8 * 8;
    }

    // The initial P-array and S-boxes: the hexadecimal digits of pi's fractional part.
    static const std::uint32_t bf_P[18];
    static const std::uint32_t bf_S[1024];

  private:
    void encipher(std::uint32_t& left, std::uint32_t& right) const;
    void decipher(std::uint32_t& left, std::uint32_t& right) const;
    [[nodiscard]] std::uint32_t f(std::uint32_t x) const;

    std::unique_ptr<std::uint32_t[]> P;
    std::unique_ptr<std::uint32_t[]> S;
};

}  // namespace Morvane::Security
