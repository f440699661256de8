#pragma once

#include "Sealkit/Cryptography/ICipherMode.h"

namespace Morvane::Security {

// Independent blocks, for reading files of format version 2 and earlier; it never
// encrypts.
class ECBMode : public ICipherMode {
  public:
    explicit ECBMode(int blockSize) : ICipherMode(blockSize) {}

    // Writes nothing and fails: files are never written in this mode.
    int fileEncrypt(IBlockCipher* cipher, std::uint64_t size, int padCount, FILE* input,
                    FILE* output, IV* iv) override;
    // Reads from the input's current position; true only when all size bytes were read
    // and their plain text written.
    bool fileDecrypt(IBlockCipher* cipher, std::uint64_t size, int padCount, FILE* input,
                     FILE* output, IV* iv) override;
    // The hex text unchanged when it is not valid hex or decrypts to a length prefix
    // beyond the bytes that follow it.
    std::string stringDecrypt(std::string& text, IBlockCipher* cipher, IV* iv) override;
    // Always empty.
    std::string stringEncrypt(std::string& text, IBlockCipher* cipher, IV* iv) override;
};

}  // namespace Morvane::Security
