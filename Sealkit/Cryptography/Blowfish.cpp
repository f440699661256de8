#include "Sealkit/Cryptography/Blowfish.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "Sealkit/Cryptography/Wipe.h"

namespace Morvane::Security {

namespace {

constexpr int kRounds = 16;

std::uint32_t loadLittle(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void storeLittle(unsigned char* p, std::uint32_t w) {
    p[0] = static_cast<unsigned char>(w);
    p[1] = static_cast<unsigned char>(w >> 8);
    p[2] = static_cast<unsigned char>(w >> 16);
    p[3] = static_cast<unsigned char>(w >> 24);
}

}  // namespace

Blowfish::Blowfish() : P(new std::uint32_t[18]()), S(new std::uint32_t[1024]()) {}

Blowfish::~Blowfish() {
    wipe(P.get(), 18 * sizeof(std::uint32_t));
    wipe(S.get(), 1024 * sizeof(std::uint32_t));
}

std::uint32_t Blowfish::f(std::uint32_t x) const {
    return ((S[x >> 24] + S[256 + ((x >> 16) & 0xFF)]) ^ S[512 + ((x >> 8) & 0xFF)]) +
           S[768 + (x & 0xFF)];
}

void Blowfish::encipher(std::uint32_t& left, std::uint32_t& right) const {
    for (int i = 0; i < kRounds; ++i) {
        left ^= P[i];
        right ^= f(left);
        std::swap(left, right);
    }
    std::swap(left, right);
    right ^= P[16];
    left ^= P[17];
}

void Blowfish::decipher(std::uint32_t& left, std::uint32_t& right) const {
    for (int i = kRounds + 1; i > 1; --i) {
        left ^= P[i];
        right ^= f(left);
        std::swap(left, right);
    }
    std::swap(left, right);
    right ^= P[1];
    left ^= P[0];
}

void Blowfish::Initialize(const unsigned char* key, int length) {
    if (length < 1) {
        return;  // the cyclic key walk below divides by the length
    }
    std::copy(bf_P, bf_P + 18, P.get());
    std::copy(bf_S, bf_S + 1024, S.get());
    int j = 0;
    for (int i = 0; i < 18; ++i) {
        const std::uint32_t word = static_cast<std::uint32_t>(key[j]) << 24 |
                                   static_cast<std::uint32_t>(key[(j + 1) % length]) << 16 |
                                   static_cast<std::uint32_t>(key[(j + 2) % length]) << 8 |
                                   static_cast<std::uint32_t>(key[(j + 3) % length]);
        P[i] ^= word;
        j = (j + 4) % length;
    }
    std::uint32_t left = 0, right = 0;
    for (int i = 0; i < 18; i += 2) {
        encipher(left, right);
        P[i] = left;
        P[i + 1] = right;
    }
    for (int i = 0; i < 1024; i += 2) {
        encipher(left, right);
        S[i] = left;
        S[i + 1] = right;
    }
}

void Blowfish::Encode(const unsigned char* input, unsigned char* output,
                      unsigned int length) const {
    for (unsigned int offset = 0; offset < length; offset += 8) {
        unsigned char* block = output + offset;
        const unsigned int take = std::min(8u, length - offset);
        std::memmove(block, input + offset, take);
        std::memset(block + take, 0, 8 - take);
        std::uint32_t left = loadLittle(block), right = loadLittle(block + 4);
        encipher(left, right);
        storeLittle(block, left);
        storeLittle(block + 4, right);
    }
}

void Blowfish::Decode(const unsigned char* input, unsigned char* output,
                      unsigned int length) const {
    for (unsigned int offset = 0; offset < length; offset += 8) {
        std::uint32_t left = loadLittle(input + offset), right = loadLittle(input + offset + 4);
        decipher(left, right);
        storeLittle(output + offset, left);
        storeLittle(output + offset + 4, right);
    }
}

}  // namespace Morvane::Security
