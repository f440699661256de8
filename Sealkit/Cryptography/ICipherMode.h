#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "Sealkit/Cryptography/IBlockCipher.h"

class IV;

namespace Morvane::Security {

// A chaining mode over a keyed block cipher. The base part owns the working buffers
// and the chaining state; every operation starts with reset(), so each one begins a
// fresh chain from the IV.
class ICipherMode {
public:
    static constexpr std::uint64_t kBufferSize = 10000;

    explicit ICipherMode(int blockSize);
    virtual ~ICipherMode() = default;
    ICipherMode(const ICipherMode&) = delete;
    ICipherMode& operator=(const ICipherMode&) = delete;

    // 1 on success, 0 on failure.
    virtual int fileEncrypt(IBlockCipher* cipher, std::uint64_t size, int padCount, FILE* input,
                            FILE* output, IV* iv) = 0;
    virtual bool fileDecrypt(IBlockCipher* cipher, std::uint64_t size, int padCount, FILE* input,
                             FILE* output, IV* iv) = 0;
    virtual std::string stringDecrypt(std::string& text, IBlockCipher* cipher, IV* iv) = 0;
    virtual std::string stringEncrypt(std::string& text, IBlockCipher* cipher, IV* iv) = 0;
    virtual void reset();

protected:
    bool firstBlock = true;
    int blockSize;
    std::unique_ptr<unsigned char[]> inputBlock;  // the current input block
    std::unique_ptr<unsigned char[]> cipherBlock; // the block handed to the cipher
    std::unique_ptr<unsigned char[]> outputBlock; // the cipher's output
    std::unique_ptr<unsigned char[]> chainBlock;  // the previous ciphertext block
    std::unique_ptr<unsigned char[]> outputBuffer;
    std::unique_ptr<unsigned char[]> inputBuffer;
    std::uint64_t bufferSize = kBufferSize;
};

} // namespace Morvane::Security
