#pragma once

#include <cstdint>
#include <string>

#include "Sealkit/Cryptography/IKeyBase.h"

namespace Morvane::Security {

enum SHA_TYPE : std::int32_t {
    SHA_1 = 1,    // 20-byte digest
    SHA_224 = 2,  // 28
    SHA_256 = 3,  // 32
    SHA_384 = 4,  // 48
    SHA_512 = 5,  // 64
};

// The engine's SHA hasher and SHA-256 key object. One Init, Updates and End give the
// standard digest. End deliberately leaves the context as it is (the bit counter
// byte-reversed, the message schedule in the block buffer) and StretchKey goes on
// hashing on that context: every stored key depends on exactly this behaviour.
class sha2 : public IKeyBase {
  public:
    // SHA-256 of length bytes of data; the digest is ready at once.
    sha2(const unsigned char* data, int length);
    // The digest is a key: every copy of it, raw and hex, is wiped when the object goes.
    ~sha2() override;
    sha2(const sha2&) = delete;
    sha2& operator=(const sha2&) = delete;

    // Throws std::runtime_error "Invalid SHA_TYPE type!" for an unknown type.
    void Init(SHA_TYPE type);
    void Update(const unsigned char* data, std::uint64_t length);
    void End();

    // The 64-byte digest area: the digest of the last End, then zeros or older bytes.
    unsigned char* getDigestRaw() override;
    // 10000 rounds of Update over the first 32 digest bytes and End, with no Init.
    void StretchKey() override;

    // These throw std::runtime_error "Unfinished execution!" before any End.
    unsigned char* RawHash(int& length);
    [[nodiscard]] const char* HexHash() const;
    [[nodiscard]] std::string StringHash() const;

    std::string GetHash(SHA_TYPE type, const unsigned char* data, std::uint64_t length);

  private:
    void compress32(const unsigned char* block);
    void update64(const unsigned char* data, std::uint64_t length);
    void end64();
    void update128(const unsigned char* data, std::uint64_t length);
    void end128();
    // End without the hex text, which writeHex adds.
    void finishDigest();
    void writeHex();
    [[nodiscard]] int digestLength() const;
    void requireFinished() const;

    SHA_TYPE type = SHA_256;
    std::string hexText;
    bool finished = false;
    char hexBuffer[129] = {};
    unsigned char digestArea[64] = {};
    union {
        std::uint32_t words32[16];
        std::uint64_t words64[8];
    } state = {};
    std::uint64_t bitCounter[2] = {};
    unsigned char block[128] = {};
};

}  // namespace Morvane::Security
