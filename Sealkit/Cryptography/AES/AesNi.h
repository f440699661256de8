#pragma once

#include <cstddef>

// AES-256 with the processor's AES instructions. Call these only when available()
// says so; the round keys are 15 blocks of 16 bytes in the order the instructions use
// (for decryption the equivalent inverse cipher's schedule).
namespace Morvane::Security::aes::ni {

[[nodiscard]] bool available();

void encryptBlocks(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out,
                   std::size_t blocks);
void decryptBlocks(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out,
                   std::size_t blocks);

// Whole blocks; in and out may be the same buffer. chain holds the previous ciphertext
// block (the IV at the start) and is left holding the last one.
void cbcEncrypt(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out,
                std::size_t blocks, unsigned char chain[16]);
void cbcDecrypt(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out,
                std::size_t blocks, unsigned char chain[16]);

}  // namespace Morvane::Security::aes::ni
