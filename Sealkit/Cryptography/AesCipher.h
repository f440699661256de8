#pragma once

#include <cstddef>
#include <cstdint>

#include "Sealkit/Cryptography/AES/AesPortable.h"
#include "Sealkit/Cryptography/IBlockCipher.h"

// AES-256 (FIPS-197). Global, as callers outside the engine namespace name it that way.
// Uses the processor's AES instructions when it has them, else portable table code;
// both give the same bytes.
class AesCipher : public IBlockCipher {
  public:
    enum class Backend { Portable, Hardware };

    // The fastest backend this processor supports.
    AesCipher();
    // Hardware falls back to Portable when the processor lacks AES instructions.
    explicit AesCipher(Backend backend);
    ~AesCipher() override;
    AesCipher(const AesCipher&) = delete;
    AesCipher& operator=(const AesCipher&) = delete;

    [[nodiscard]] static bool hardwareAvailable();
    [[nodiscard]] Backend backend() const { return engine; }

    // Takes the first 32 key bytes; a shorter key is zero-extended to 32 bytes rather
    // than read past its end.
    void Initialize(const unsigned char* key, int length) override;
    // A length of 16 or less handles exactly one block; a longer one every block that
    // starts below length, so both buffers must hold length rounded up to 16 bytes.
    void Encode(const unsigned char* input, unsigned char* output,
                unsigned int length) const override;
    void Decode(const unsigned char* input, unsigned char* output,
                unsigned int length) const override;
    [[nodiscard]] int getBlockSize() const override { return 16; }

    // CBC over whole blocks for the cipher modes, without a call per block. chain holds
    // the previous ciphertext block (the IV at the start) and is left holding the last.
    void cbcEncrypt(const unsigned char* input, unsigned char* output, std::size_t blocks,
                    unsigned char chain[16]) const;
    void cbcDecrypt(const unsigned char* input, unsigned char* output, std::size_t blocks,
                    unsigned char chain[16]) const;

  private:
    struct Schedule {
        std::uint32_t words[Morvane::Security::aes::kScheduleWords] = {};
        std::uint32_t length = 0;  // words in use
    };

    static std::size_t blocksFor(unsigned int length);

    Backend engine;
    Schedule encryption;
    Schedule decryption;
    // The same schedules as bytes, in the layout the AES instructions load.
    alignas(16) unsigned char hardwareEncryption[16 * (Morvane::Security::aes::kRounds + 1)] = {};
    alignas(16) unsigned char hardwareDecryption[16 * (Morvane::Security::aes::kRounds + 1)] = {};
};
