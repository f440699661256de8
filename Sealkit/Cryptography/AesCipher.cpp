#include "Sealkit/Cryptography/AesCipher.h"

#include <algorithm>
#include <cstring>

#include "Sealkit/Cryptography/AES/AesNi.h"
#include "Sealkit/Cryptography/Wipe.h"

namespace aes = Morvane::Security::aes;

namespace {

void toBytes(const std::uint32_t* words, unsigned char* bytes) {
    for (int i = 0; i < aes::kScheduleWords; ++i) {
        bytes[4 * i] = static_cast<unsigned char>(words[i] >> 24);
        bytes[4 * i + 1] = static_cast<unsigned char>(words[i] >> 16);
        bytes[4 * i + 2] = static_cast<unsigned char>(words[i] >> 8);
        bytes[4 * i + 3] = static_cast<unsigned char>(words[i]);
    }
}

}  // namespace

AesCipher::AesCipher() : AesCipher(Backend::Hardware) {}

AesCipher::AesCipher(Backend backend)
    : engine(backend == Backend::Hardware && hardwareAvailable() ? Backend::Hardware
                                                                 : Backend::Portable) {}

bool AesCipher::hardwareAvailable() {
    static const bool available = aes::ni::available();
    return available;
}

void AesCipher::Initialize(const unsigned char* key, int length) {
    unsigned char full[32] = {};
    if (length > 0) {
        std::memcpy(full, key, static_cast<std::size_t>(std::min(length, 32)));
    }
    aes::expandKey(full, encryption.words, decryption.words);
    encryption.length = decryption.length = aes::kScheduleWords;
    toBytes(encryption.words, hardwareEncryption);
    toBytes(decryption.words, hardwareDecryption);
    Morvane::Security::wipe(full, sizeof full);
}

AesCipher::~AesCipher() {
    Morvane::Security::wipe(&encryption, sizeof encryption);
    Morvane::Security::wipe(&decryption, sizeof decryption);
    Morvane::Security::wipe(hardwareEncryption, sizeof hardwareEncryption);
    Morvane::Security::wipe(hardwareDecryption, sizeof hardwareDecryption);
}

std::size_t AesCipher::blocksFor(unsigned int length) {
    return length <= aes::kBlock ? 1 : (std::size_t{length} + aes::kBlock - 1) / aes::kBlock;
}

void AesCipher::Encode(const unsigned char* input, unsigned char* output,
                       unsigned int length) const {
    const std::size_t blocks = blocksFor(length);
    if (engine == Backend::Hardware) {
        aes::ni::encryptBlocks(hardwareEncryption, input, output, blocks);
        return;
    }
    for (std::size_t i = 0; i < blocks; ++i) {
        aes::encryptBlock(encryption.words, input + 16 * i, output + 16 * i);
    }
}

void AesCipher::Decode(const unsigned char* input, unsigned char* output,
                       unsigned int length) const {
    const std::size_t blocks = blocksFor(length);
    if (engine == Backend::Hardware) {
        aes::ni::decryptBlocks(hardwareDecryption, input, output, blocks);
        return;
    }
    for (std::size_t i = 0; i < blocks; ++i) {
        aes::decryptBlock(decryption.words, input + 16 * i, output + 16 * i);
    }
}

void AesCipher::cbcEncrypt(const unsigned char* input, unsigned char* output, std::size_t blocks,
                           unsigned char chain[16]) const {
    if (engine == Backend::Hardware) {
        aes::ni::cbcEncrypt(hardwareEncryption, input, output, blocks, chain);
    } else {
        aes::cbcEncrypt(encryption.words, input, output, blocks, chain);
    }
}

void AesCipher::cbcDecrypt(const unsigned char* input, unsigned char* output, std::size_t blocks,
                           unsigned char chain[16]) const {
    if (engine == Backend::Hardware) {
        aes::ni::cbcDecrypt(hardwareDecryption, input, output, blocks, chain);
    } else {
        aes::cbcDecrypt(decryption.words, input, output, blocks, chain);
    }
}
