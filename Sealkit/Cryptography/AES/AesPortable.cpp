#include "Sealkit/Cryptography/AES/AesPortable.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace Morvane::Security::aes {

namespace {

using Table = std::array<std::uint32_t, 256>;

constexpr std::uint8_t xtime(std::uint8_t x) {
    return static_cast<std::uint8_t>((x << 1) ^ ((x >> 7) * 0x1B));
}

constexpr std::uint8_t mul(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    for (; b != 0; b >>= 1, a = xtime(a)) {
        if (b & 1) {
            product ^= a;
        }
    }
    return product;
}

constexpr std::uint8_t rotl8(std::uint8_t x, int n) {
    return static_cast<std::uint8_t>((x << n) | (x >> (8 - n)));
}

// The S-box from its definition: the multiplicative inverse in GF(2^8) followed by the
// affine map. p walks the powers of the generator 3 while q walks those of its inverse.
constexpr std::array<std::uint8_t, 256> makeSbox() {
    std::array<std::uint8_t, 256> box{};
    std::uint8_t p = 1;
    std::uint8_t q = 1;
    do {
        p = static_cast<std::uint8_t>(p ^ xtime(p));
        q ^= static_cast<std::uint8_t>(q << 1);
        q ^= static_cast<std::uint8_t>(q << 2);
        q ^= static_cast<std::uint8_t>(q << 4);
        if (q & 0x80) {
            q ^= 0x09;
        }
        box[p] = static_cast<std::uint8_t>(q ^ rotl8(q, 1) ^ rotl8(q, 2) ^ rotl8(q, 3) ^
                                           rotl8(q, 4) ^ 0x63);
    } while (p != 1);
    box[0] = 0x63;
    return box;
}

constexpr std::array<std::uint8_t, 256> kSbox = makeSbox();

constexpr std::array<std::uint8_t, 256> makeInverseSbox() {
    std::array<std::uint8_t, 256> inverse{};
    for (int i = 0; i < 256; ++i) {
        inverse[kSbox[i]] = static_cast<std::uint8_t>(i);
    }
    return inverse;
}

constexpr std::array<std::uint8_t, 256> kInvSbox = makeInverseSbox();

constexpr std::uint32_t word(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return static_cast<std::uint32_t>(b0) << 24 | static_cast<std::uint32_t>(b1) << 16 |
           static_cast<std::uint32_t>(b2) << 8 | b3;
}

constexpr std::uint32_t rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

// One column of MixColumns (2 1 1 3) or InvMixColumns (14 9 13 11) applied to a byte
// after SubBytes, rotated once per table.
constexpr Table makeTable(bool inverse, int rotation) {
    Table t{};
    for (int i = 0; i < 256; ++i) {
        std::uint32_t w = 0;
        if (inverse) {
            const std::uint8_t s = kInvSbox[i];
            w = word(mul(s, 14), mul(s, 9), mul(s, 13), mul(s, 11));
        } else {
            const std::uint8_t s = kSbox[i];
            w = word(mul(s, 2), s, s, mul(s, 3));
        }
        t[i] = rotation == 0 ? w : rotr(w, 8 * rotation);
    }
    return t;
}

constexpr std::array<Table, 4> kTe = {makeTable(false, 0), makeTable(false, 1), makeTable(false, 2),
                                      makeTable(false, 3)};
constexpr std::array<Table, 4> kTd = {makeTable(true, 0), makeTable(true, 1), makeTable(true, 2),
                                      makeTable(true, 3)};

std::uint32_t load(const unsigned char* p) {
    return word(p[0], p[1], p[2], p[3]);
}

void store(unsigned char* p, std::uint32_t w) {
    p[0] = static_cast<unsigned char>(w >> 24);
    p[1] = static_cast<unsigned char>(w >> 16);
    p[2] = static_cast<unsigned char>(w >> 8);
    p[3] = static_cast<unsigned char>(w);
}

constexpr unsigned b(std::uint32_t w, int byte) {
    return (w >> (24 - 8 * byte)) & 0xFF;
}

std::uint32_t subWord(std::uint32_t w) {
    return word(kSbox[b(w, 0)], kSbox[b(w, 1)], kSbox[b(w, 2)], kSbox[b(w, 3)]);
}

std::uint32_t invMixColumn(std::uint32_t w) {
    return kTd[0][kSbox[b(w, 0)]] ^ kTd[1][kSbox[b(w, 1)]] ^ kTd[2][kSbox[b(w, 2)]] ^
           kTd[3][kSbox[b(w, 3)]];
}

// One block through all rounds. Row k of output column c comes from state column
// c + k (ShiftRows) or c - k (InvShiftRows).
template <bool Inverse>
void cryptBlock(const std::uint32_t* rk, const unsigned char* in, unsigned char* out) {
    const auto& tables = Inverse ? kTd : kTe;
    const auto& box = Inverse ? kInvSbox : kSbox;
    const auto column = [](int c, int k) { return Inverse ? (c + 4 - k) & 3 : (c + k) & 3; };
    std::uint32_t s[4];
    // The column loops are unrolled so the shifted column indices become constants.
#pragma GCC unroll 4
    for (int c = 0; c < 4; ++c) {
        s[c] = load(in + 4 * c) ^ rk[c];
    }
    for (int round = 1; round < kRounds; ++round) {
        rk += 4;
        std::uint32_t t[4];
#pragma GCC unroll 4
        for (int c = 0; c < 4; ++c) {
            t[c] = tables[0][b(s[c], 0)] ^ tables[1][b(s[column(c, 1)], 1)] ^
                   tables[2][b(s[column(c, 2)], 2)] ^ tables[3][b(s[column(c, 3)], 3)] ^ rk[c];
        }
        std::copy(t, t + 4, s);
    }
    rk += 4;
#pragma GCC unroll 4
    for (int c = 0; c < 4; ++c) {
        store(out + 4 * c, word(box[b(s[c], 0)], box[b(s[column(c, 1)], 1)],
                                box[b(s[column(c, 2)], 2)], box[b(s[column(c, 3)], 3)]) ^
                               rk[c]);
    }
}

void xorBlock(unsigned char* dst, const unsigned char* a, const unsigned char* c) {
    for (std::size_t i = 0; i < kBlock; ++i) {
        dst[i] = static_cast<unsigned char>(a[i] ^ c[i]);
    }
}

}  // namespace

void expandKey(const unsigned char key[32], std::uint32_t enc[kScheduleWords],
               std::uint32_t dec[kScheduleWords]) {
    for (int i = 0; i < 8; ++i) {
        enc[i] = load(key + 4 * i);
    }
    std::uint32_t rcon = 0x01;
    for (int i = 8; i < kScheduleWords; ++i) {
        std::uint32_t temp = enc[i - 1];
        if (i % 8 == 0) {
            temp = subWord(rotr(temp, 24)) ^ (rcon << 24);
            rcon = xtime(static_cast<std::uint8_t>(rcon));
        } else if (i % 8 == 4) {
            temp = subWord(temp);
        }
        enc[i] = enc[i - 8] ^ temp;
    }
    for (int round = 0; round <= kRounds; ++round) {
        for (int c = 0; c < 4; ++c) {
            const std::uint32_t w = enc[4 * (kRounds - round) + c];
            const bool outer = round == 0 || round == kRounds;
            dec[4 * round + c] = outer ? w : invMixColumn(w);
        }
    }
}

void encryptBlock(const std::uint32_t* rk, const unsigned char* in, unsigned char* out) {
    cryptBlock<false>(rk, in, out);
}

void decryptBlock(const std::uint32_t* rk, const unsigned char* in, unsigned char* out) {
    cryptBlock<true>(rk, in, out);
}

void cbcEncrypt(const std::uint32_t* rk, const unsigned char* in, unsigned char* out,
                std::size_t blocks, unsigned char chain[kBlock]) {
    for (std::size_t i = 0; i < blocks; ++i, in += kBlock, out += kBlock) {
        unsigned char mixed[kBlock];
        xorBlock(mixed, in, chain);
        encryptBlock(rk, mixed, out);
        std::memcpy(chain, out, kBlock);
    }
}

void cbcDecrypt(const std::uint32_t* rk, const unsigned char* in, unsigned char* out,
                std::size_t blocks, unsigned char chain[kBlock]) {
    for (std::size_t i = 0; i < blocks; ++i, in += kBlock, out += kBlock) {
        unsigned char cipherText[kBlock];
        unsigned char plain[kBlock];
        std::memcpy(cipherText, in, kBlock);  // in may be out
        decryptBlock(rk, cipherText, plain);
        xorBlock(out, plain, chain);
        std::memcpy(chain, cipherText, kBlock);
    }
}

}  // namespace Morvane::Security::aes
