#include "Sealkit/Cryptography/ICipherMode.h"

#include <cstring>

#include "Sealkit/Cryptography/IV.h"
#include "Sealkit/Cryptography/Wipe.h"
#include "Sealkit/FileHeader/Convertor.h"

namespace Morvane::Security {

ICipherMode::ICipherMode(int blockSize_)
    : blockSize(blockSize_),
      inputBlock(new unsigned char[blockSize_]),
      cipherBlock(new unsigned char[blockSize_]),
      outputBlock(new unsigned char[blockSize_]),
      chainBlock(new unsigned char[blockSize_]),
      outputBuffer(new unsigned char[kBufferSize]),
      inputBuffer(new unsigned char[kBufferSize]) {}

ICipherMode::~ICipherMode() {
    reset();
}

void ICipherMode::reset() {
    firstBlock = true;
    wipeBuffers();
    const auto n = static_cast<std::size_t>(blockSize);
    wipe(inputBlock.get(), n);
    wipe(cipherBlock.get(), n);
    wipe(outputBlock.get(), n);
    wipe(chainBlock.get(), n);
}

void ICipherMode::wipeBuffers() {
    wipe(inputBuffer.get(), kBufferSize);
    wipe(outputBuffer.get(), kBufferSize);
}

bool ICipherMode::usable(const IBlockCipher* cipher) const {
    return cipher != nullptr && cipher->getBlockSize() == blockSize && blockSize > 0 &&
           kBufferSize % static_cast<std::uint64_t>(blockSize) == 0;
}

bool ICipherMode::usable(const IBlockCipher* cipher, const IV* iv) const {
    return usable(cipher) && iv != nullptr && iv->getRaw() != nullptr && iv->getSize() >= blockSize;
}

std::size_t ICipherMode::wholeBlocks(std::size_t count) const {
    const auto block = static_cast<std::size_t>(blockSize);
    return (count + block - 1) / block * block;
}

bool ICipherMode::readChunk(FILE* input, std::size_t count, std::size_t upTo) {
    const std::size_t got = upTo == 0 ? 0 : std::fread(inputBuffer.get(), 1, upTo, input);
    std::memset(inputBuffer.get() + got, 0, upTo - got);
    return got >= count && std::ferror(input) == 0;
}

std::optional<std::size_t> ICipherMode::hexToBytes(const std::string& text, unsigned char* out,
                                                   std::size_t capacity) {
    if (text.size() % 2 != 0 || text.size() / 2 > capacity) {
        return std::nullopt;
    }
    if (!Morvane::Utils::Convertor::HexAsciiToBinary(text.data(), out, text.size())) {
        return std::nullopt;
    }
    return text.size() / 2;
}

std::optional<std::string> ICipherMode::lengthPrefixed(const unsigned char* bytes,
                                                       std::size_t count) {
    if (count < 2) {
        return std::nullopt;
    }
    const std::size_t length = bytes[0] + 256u * bytes[1];
    if (length > count - 2) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(bytes + 2), length);
}

}  // namespace Morvane::Security
