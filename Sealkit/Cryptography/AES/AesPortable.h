#pragma once

#include <cstddef>
#include <cstdint>

// AES-256 in portable table code: the fallback on processors without AES instructions
// and the reference the accelerated code is tested against.
namespace Morvane::Security::aes {

inline constexpr int kRounds = 14;
inline constexpr int kScheduleWords = 4 * (kRounds + 1);  // 60
inline constexpr std::size_t kBlock = 16;

// Round keys as big-endian words. The decryption schedule is the one of the
// equivalent inverse cipher (round keys reversed, inner ones through InvMixColumns),
// which is also the order the hardware decryption instructions expect.
void expandKey(const unsigned char key[32], std::uint32_t enc[kScheduleWords],
               std::uint32_t dec[kScheduleWords]);

void encryptBlock(const std::uint32_t* rk, const unsigned char* in, unsigned char* out);
void decryptBlock(const std::uint32_t* rk, const unsigned char* in, unsigned char* out);

// Whole blocks; in and out may be the same buffer. chain holds the previous ciphertext
// block (the IV at the start) and is left holding the last one.
void cbcEncrypt(const std::uint32_t* rk, const unsigned char* in, unsigned char* out,
                std::size_t blocks, unsigned char chain[kBlock]);
void cbcDecrypt(const std::uint32_t* rk, const unsigned char* in, unsigned char* out,
                std::size_t blocks, unsigned char chain[kBlock]);

}  // namespace Morvane::Security::aes
