#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
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
    // Wipes the buffers: they held plain text.
    virtual ~ICipherMode();
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
    // A cipher of this mode's block size, and for chaining an IV of at least one block.
    [[nodiscard]] bool usable(const IBlockCipher* cipher) const;
    [[nodiscard]] bool usable(const IBlockCipher* cipher, const IV* iv) const;
    // Reads at least count and at most upTo bytes into the input buffer; the rest up to
    // upTo is zeroed. False on a short read or a stream error.
    [[nodiscard]] bool readChunk(FILE* input, std::size_t count, std::size_t upTo);
    [[nodiscard]] std::size_t wholeBlocks(std::size_t count) const;
    // Bytes of a hex text (either case) into out, which holds capacity bytes; nullopt
    // for an odd length, a character that is not hex, or a text too long for out.
    [[nodiscard]] static std::optional<std::size_t> hexToBytes(const std::string& text,
                                                               unsigned char* out,
                                                               std::size_t capacity);
    // The text behind a two-byte little-endian length prefix; nullopt when the prefix
    // claims more than the count bytes hold (a wrong key makes such prefixes).
    [[nodiscard]] static std::optional<std::string> lengthPrefixed(const unsigned char* bytes,
                                                                   std::size_t count);
    void wipeBuffers();

    bool firstBlock = true;
    int blockSize;
    std::unique_ptr<unsigned char[]> inputBlock;   // the current input block
    std::unique_ptr<unsigned char[]> cipherBlock;  // the block handed to the cipher
    std::unique_ptr<unsigned char[]> outputBlock;  // the cipher's output
    std::unique_ptr<unsigned char[]> chainBlock;   // the previous ciphertext block
    std::unique_ptr<unsigned char[]> outputBuffer;
    std::unique_ptr<unsigned char[]> inputBuffer;
    std::uint64_t bufferSize = kBufferSize;
};

}  // namespace Morvane::Security
