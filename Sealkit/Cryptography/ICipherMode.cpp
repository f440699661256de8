#include "Sealkit/Cryptography/ICipherMode.h"

#include <cstring>

namespace Morvane::Security {

ICipherMode::ICipherMode(int blockSize_)
    : blockSize(blockSize_),
      inputBlock(new unsigned char[blockSize_]),
      cipherBlock(new unsigned char[blockSize_]),
      outputBlock(new unsigned char[blockSize_]),
      chainBlock(new unsigned char[blockSize_]),
      outputBuffer(new unsigned char[kBufferSize]),
      inputBuffer(new unsigned char[kBufferSize]) {}

void ICipherMode::reset() {
    firstBlock = true;
    std::memset(inputBuffer.get(), 0, kBufferSize);
    std::memset(outputBuffer.get(), 0, kBufferSize);
    const auto n = static_cast<std::size_t>(blockSize);
    std::memset(inputBlock.get(), 0, n);
    std::memset(cipherBlock.get(), 0, n);
    std::memset(outputBlock.get(), 0, n);
    std::memset(chainBlock.get(), 0, n);
}

} // namespace Morvane::Security
