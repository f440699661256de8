#pragma once

#include <cstddef>
#include <cstdint>

#include "Sealkit/Cryptography/IKeyBase.h"

namespace Morvane::Security {

// The engine's own 16-byte digest. It walks the MD5 steps, but every word is a signed
// 64-bit value that is never cut back to 32 bits, so it is not MD5: old keys and every
// initialisation vector depend on these exact results.
//
// The words are held as uint64_t so that wrapping additions are defined behaviour; the
// only signed operation is the sign-propagating right shift of the rotation.
struct MD5_CTX {
    std::uint64_t state[4];
    std::uint64_t count[2];  // count[0]: bits hashed; count[1]: high part
    unsigned char buffer[64];
};

void MD5Init(MD5_CTX* context);
void MD5Update(MD5_CTX* context, const unsigned char* input, std::uint32_t length);
// Pads, writes the digest and then zeroes the whole context.
void MD5Final(unsigned char digest[16], MD5_CTX* context);
void MD5_transform(std::uint64_t state[4], const unsigned char block[64]);
// Low 32 bits of each word, little-endian.
void Encode(unsigned char* output, const std::uint64_t* input, std::uint32_t length);
// Four little-endian bytes per word, zero-extended.
void Decode(std::uint64_t* output, const unsigned char* input, std::uint32_t length);
void MD5_memcpy(unsigned char* output, const unsigned char* input, std::uint32_t length);
void MD5_memset(unsigned char* output, int value, std::uint32_t length);

namespace detail {
// The same steps with every word cut back to 32 bits and a logical shift: that is
// standard MD5, which lets tests pin constants, order and padding against any MD5.
void md5Masked32(const unsigned char* data, std::size_t length, unsigned char digest[16]);
}  // namespace detail

// Key object over the MD5-variant digest of a zero-terminated text.
class MD5 : public IKeyBase {
  public:
    MD5() = default;
    // Hashes the bytes of text before its terminating zero; text is read only here.
    explicit MD5(const char* text);
    ~MD5() override;
    MD5(const MD5&) = delete;
    MD5& operator=(const MD5&) = delete;

    unsigned char* getDigestRaw() override;
    // 10000 rounds over one context that is initialised once: every round after the
    // first starts from the all-zero state that MD5Final leaves behind.
    void StretchKey() override;

  private:
    bool ready = false;
    unsigned char digest[16] = {};
    const char* text = nullptr;
};

}  // namespace Morvane::Security
