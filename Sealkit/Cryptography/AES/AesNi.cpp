// Built with -maes -msse4.1; reached only after available() (AesNiCpu.cpp).
#include "Sealkit/Cryptography/AES/AesNi.h"

#include <immintrin.h>

namespace Morvane::Security::aes::ni {

namespace {

constexpr int kRounds = 14;
constexpr std::size_t kLanes = 8;  // blocks in flight; hides the instruction latency

struct Keys {
    __m128i k[kRounds + 1];
    explicit Keys(const unsigned char* roundKeys) {
        for (int i = 0; i <= kRounds; ++i) {
            k[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(roundKeys + 16 * i));
        }
    }
};

__m128i load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
void store(unsigned char* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

template <bool Decrypt>
__m128i one(const Keys& keys, __m128i s) {
    s = _mm_xor_si128(s, keys.k[0]);
    for (int r = 1; r < kRounds; ++r) {
        s = Decrypt ? _mm_aesdec_si128(s, keys.k[r]) : _mm_aesenc_si128(s, keys.k[r]);
    }
    return Decrypt ? _mm_aesdeclast_si128(s, keys.k[kRounds])
                   : _mm_aesenclast_si128(s, keys.k[kRounds]);
}

template <bool Decrypt>
void lanes(const Keys& keys, __m128i (&s)[kLanes]) {
    for (auto& v : s) {
        v = _mm_xor_si128(v, keys.k[0]);
    }
    for (int r = 1; r < kRounds; ++r) {
        for (auto& v : s) {
            v = Decrypt ? _mm_aesdec_si128(v, keys.k[r]) : _mm_aesenc_si128(v, keys.k[r]);
        }
    }
    for (auto& v : s) {
        v = Decrypt ? _mm_aesdeclast_si128(v, keys.k[kRounds])
                    : _mm_aesenclast_si128(v, keys.k[kRounds]);
    }
}

template <bool Decrypt>
void ecb(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out,
         std::size_t blocks) {
    const Keys keys(roundKeys);
    std::size_t i = 0;
    for (; i + kLanes <= blocks; i += kLanes) {
        __m128i s[kLanes];
        for (std::size_t j = 0; j < kLanes; ++j) {
            s[j] = load(in + 16 * (i + j));
        }
        lanes<Decrypt>(keys, s);
        for (std::size_t j = 0; j < kLanes; ++j) {
            store(out + 16 * (i + j), s[j]);
        }
    }
    for (; i < blocks; ++i) {
        store(out + 16 * i, one<Decrypt>(keys, load(in + 16 * i)));
    }
}

}  // namespace

void encryptBlocks(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out,
                   std::size_t blocks) {
    ecb<false>(roundKeys, in, out, blocks);
}

void decryptBlocks(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out,
                   std::size_t blocks) {
    ecb<true>(roundKeys, in, out, blocks);
}

void cbcEncrypt(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out,
                std::size_t blocks, unsigned char chain[16]) {
    const Keys keys(roundKeys);
    __m128i state = load(chain);
    for (std::size_t i = 0; i < blocks; ++i) {
        // The plain text meets the first round key off the serial path.
        const __m128i plain = _mm_xor_si128(load(in + 16 * i), keys.k[0]);
        state = _mm_xor_si128(state, plain);
        for (int r = 1; r < kRounds; ++r) {
            state = _mm_aesenc_si128(state, keys.k[r]);
        }
        state = _mm_aesenclast_si128(state, keys.k[kRounds]);
        store(out + 16 * i, state);
    }
    store(chain, state);
}

void cbcDecrypt(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out,
                std::size_t blocks, unsigned char chain[16]) {
    const Keys keys(roundKeys);
    __m128i previous = load(chain);
    std::size_t i = 0;
    for (; i + kLanes <= blocks; i += kLanes) {
        __m128i cipherText[kLanes];
        __m128i s[kLanes];
        for (std::size_t j = 0; j < kLanes; ++j) {
            cipherText[j] = load(in + 16 * (i + j));
            s[j] = cipherText[j];
        }
        lanes<true>(keys, s);
        store(out + 16 * i, _mm_xor_si128(s[0], previous));
        for (std::size_t j = 1; j < kLanes; ++j) {
            store(out + 16 * (i + j), _mm_xor_si128(s[j], cipherText[j - 1]));
        }
        previous = cipherText[kLanes - 1];
    }
    for (; i < blocks; ++i) {
        const __m128i cipherText = load(in + 16 * i);
        store(out + 16 * i, _mm_xor_si128(one<true>(keys, cipherText), previous));
        previous = cipherText;
    }
    store(chain, previous);
}

}  // namespace Morvane::Security::aes::ni
