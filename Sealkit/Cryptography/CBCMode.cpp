#include "Sealkit/Cryptography/CBCMode.h"

#include <algorithm>
#include <cstring>

#include "Sealkit/Cryptography/AesCipher.h"
#include "Sealkit/Cryptography/IV.h"
#include "Sealkit/FileHeader/Convertor.h"

namespace Morvane::Security {

namespace {

void xorInto(unsigned char* out, const unsigned char* a, const unsigned char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = static_cast<unsigned char>(a[i] ^ b[i]);
    }
}

bool writeAll(const unsigned char* data, std::size_t count, FILE* output) {
    return count == 0 || std::fwrite(data, 1, count, output) == count;
}

}  // namespace

const AesCipher* CBCMode::fastPath(const IBlockCipher* cipher) const {
    return blockSize == 16 ? dynamic_cast<const AesCipher*>(cipher) : nullptr;
}

unsigned char* CBCMode::chainValue(IV* iv) {
    if (firstBlock) {
        std::memcpy(chainBlock.get(), iv->getRaw(), static_cast<std::size_t>(blockSize));
    }
    return chainBlock.get();
}

void CBCMode::encodeBlock(IBlockCipher* cipher, std::size_t offset, IV* iv) {
    const auto n = static_cast<std::size_t>(blockSize);
    std::memcpy(inputBlock.get(), inputBuffer.get() + offset, n);
    xorInto(cipherBlock.get(), inputBlock.get(), chainValue(iv), n);
    firstBlock = false;
    cipher->Encode(cipherBlock.get(), outputBlock.get(), n);
    std::memcpy(outputBuffer.get() + offset, outputBlock.get(), n);
    std::memcpy(chainBlock.get(), outputBlock.get(), n);
}

void CBCMode::decodeBlock(IBlockCipher* cipher, std::size_t offset, IV* iv) {
    const auto n = static_cast<std::size_t>(blockSize);
    std::memcpy(inputBlock.get(), inputBuffer.get() + offset, n);
    cipher->Decode(inputBlock.get(), outputBlock.get(), n);
    xorInto(outputBuffer.get() + offset, outputBlock.get(), chainValue(iv), n);
    firstBlock = false;
    std::memcpy(chainBlock.get(), inputBlock.get(), n);
}

void CBCMode::chainChunk(IBlockCipher* cipher, std::size_t count, IV* iv, bool decrypt) {
    if (count == 0) {
        return;
    }
    if (const AesCipher* aes = fastPath(cipher)) {
        const std::size_t blocks = wholeBlocks(count) / 16;
        if (decrypt) {
            aes->cbcDecrypt(inputBuffer.get(), outputBuffer.get(), blocks, chainValue(iv));
        } else {
            aes->cbcEncrypt(inputBuffer.get(), outputBuffer.get(), blocks, chainValue(iv));
        }
        firstBlock = false;
        return;
    }
    for (std::size_t offset = 0; offset < count; offset += static_cast<std::size_t>(blockSize)) {
        if (decrypt) {
            decodeBlock(cipher, offset, iv);
        } else {
            encodeBlock(cipher, offset, iv);
        }
    }
}

int CBCMode::fileEncrypt(IBlockCipher* cipher, std::uint64_t size, int padCount, FILE* input,
                         FILE* output, IV* iv) {
    reset();
    if (!usable(cipher, iv) || input == nullptr || output == nullptr || padCount < 0 ||
        padCount > 255) {
        return 0;
    }
    const std::uint64_t total = size + static_cast<std::uint64_t>(padCount);
    if (total % static_cast<std::uint64_t>(blockSize) != 0) {
        return 0;  // the last block would be incomplete: a ciphertext nobody can read
    }
    bool ok = true;
    std::uint64_t done = 0;
    do {  // once even for an empty file: one read that must find the end
        const auto chunk = static_cast<std::size_t>(std::min(bufferSize, total - done));
        const auto plain =
            static_cast<std::size_t>(done < size ? std::min<std::uint64_t>(chunk, size - done) : 0);
        ok = readChunk(input, plain, plain);
        if (ok) {
            std::memset(inputBuffer.get() + plain, padCount, chunk - plain);
            chainChunk(cipher, chunk, iv, false);
            ok = writeAll(outputBuffer.get(), chunk, output);
        }
        done += chunk;
    } while (ok && done < total);
    // More input than size means the file grew: encrypting only part of it would lose
    // the rest once the caller removes the source.
    ok = ok && std::fgetc(input) == EOF && std::ferror(input) == 0;
    wipeBuffers();
    return ok ? 1 : 0;
}

bool CBCMode::fileDecrypt(IBlockCipher* cipher, std::uint64_t size, int /*padCount*/, FILE* input,
                          FILE* output, IV* iv) {
    reset();
    if (!usable(cipher, iv) || input == nullptr || output == nullptr ||
        std::fseek(input, 0, SEEK_SET) != 0) {
        return false;
    }
    bool ok = true;
    for (std::uint64_t done = 0; ok && done < size;) {
        const auto count = static_cast<std::size_t>(std::min(bufferSize, size - done));
        // A ciphertext that ends inside a block still decrypts that block whole, from
        // the bytes that follow it in the file.
        ok = readChunk(input, count, wholeBlocks(count));
        if (ok) {
            chainChunk(cipher, count, iv, true);
            ok = writeAll(outputBuffer.get(), count, output);
        }
        done += count;
    }
    wipeBuffers();
    return ok;
}

std::string CBCMode::stringEncrypt(std::string& text, IBlockCipher* cipher, IV* iv) {
    reset();
    const std::size_t length = text.size();
    if (!usable(cipher, iv) || length > bufferSize - 2) {
        return {};
    }
    inputBuffer[0] = static_cast<unsigned char>(length & 0xFF);
    inputBuffer[1] = static_cast<unsigned char>((length >> 8) & 0xFF);
    std::memcpy(inputBuffer.get() + 2, text.data(), length);
    std::size_t total = length + 2;
    const std::size_t pad = 16 - total % 16;
    if (pad != 16) {
        std::memset(inputBuffer.get() + total, static_cast<int>(pad), pad);
        total += pad;
    }
    chainChunk(cipher, total, iv, false);
    std::string hex = Morvane::Utils::Convertor::BinaryToHexAscii(outputBuffer.get(), total);
    wipeBuffers();
    return hex;
}

std::string CBCMode::stringDecrypt(std::string& text, IBlockCipher* cipher, IV* iv) {
    reset();
    const auto count = hexToBytes(text, inputBuffer.get(), bufferSize);
    if (!count || !usable(cipher, iv)) {
        return text;
    }
    chainChunk(cipher, *count, iv, true);
    const auto plain = lengthPrefixed(outputBuffer.get(), *count);
    wipeBuffers();
    return plain ? *plain : text;
}

}  // namespace Morvane::Security
