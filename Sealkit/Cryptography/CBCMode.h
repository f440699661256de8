#pragma once

#include "Sealkit/Cryptography/ICipherMode.h"

class AesCipher;

namespace Morvane::Security {

// Cipher block chaining over files, in 10000-byte chunks with the chain carried across
// them, and over short texts behind a two-byte length prefix. Padding is on a 16-byte
// basis for both ciphers.
class CBCMode : public ICipherMode {
  public:
    explicit CBCMode(int blockSize) : ICipherMode(blockSize) {}

    // size is the plain length, padCount the bytes of value padCount that complete the
    // last block. 1 only when exactly size bytes were read, the input then ended, and
    // every byte was written.
    int fileEncrypt(IBlockCipher* cipher, std::uint64_t size, int padCount, FILE* input,
                    FILE* output, IV* iv) override;
    // size is the ciphertext length from the start of the input; true only when all of
    // it was read and its plain text written.
    bool fileDecrypt(IBlockCipher* cipher, std::uint64_t size, int padCount, FILE* input,
                     FILE* output, IV* iv) override;
    // The hex text unchanged when it is not valid hex, is too long for the buffers, or
    // decrypts to a length prefix beyond the bytes that follow it.
    std::string stringDecrypt(std::string& text, IBlockCipher* cipher, IV* iv) override;
    // Upper-case hex; empty for a text longer than the buffers hold (9998 bytes).
    std::string stringEncrypt(std::string& text, IBlockCipher* cipher, IV* iv) override;

  private:
    void encodeBlock(IBlockCipher* cipher, std::size_t offset, IV* iv);
    void decodeBlock(IBlockCipher* cipher, std::size_t offset, IV* iv);
    // The chunk's blocks below count, from the input buffer to the output buffer.
    void chainChunk(IBlockCipher* cipher, std::size_t count, IV* iv, bool decrypt);
    // AES on 16-byte blocks skips the per-block interface call.
    [[nodiscard]] const AesCipher* fastPath(const IBlockCipher* cipher) const;
    // chainBlock as it stands before the next block: the IV for the first one.
    unsigned char* chainValue(IV* iv);
};

}  // namespace Morvane::Security
