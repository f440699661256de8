// Built with -maes -msse4.1; reached only after available() (AesNiCpu.cpp).
#include "Sealkit/Cryptography/AES/AesNi.h"

#include <immintrin.h>

// Inlined and fully unrolled, so the blocks in flight stay in registers.
#define M2_AES_INLINE inline __attribute__((always_inline))
#define M2_UNROLL _Pragma("GCC unroll 16")

namespace Morvane::Security::aes::ni {

namespace {

constexpr int kRounds = 14;
constexpr std::size_t kLanes = 8;  // blocks in flight; hides the instruction latency

struct Keys {
    __m128i k[kRounds + 1];
    explicit Keys(const unsigned char* roundKeys) {
        M2_UNROLL
        for (int i = 0; i <= kRounds; ++i) {
            k[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(roundKeys + 16 * i));
        }
    }
};

M2_AES_INLINE __m128i load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
M2_AES_INLINE void store(unsigned char* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

template <bool Decrypt>
M2_AES_INLINE __m128i round(__m128i s, __m128i key) {
    return Decrypt ? _mm_aesdec_si128(s, key) : _mm_aesenc_si128(s, key);
}

template <bool Decrypt>
M2_AES_INLINE __m128i lastRound(__m128i s, __m128i key) {
    return Decrypt ? _mm_aesdeclast_si128(s, key) : _mm_aesenclast_si128(s, key);
}

template <bool Decrypt>
M2_AES_INLINE __m128i one(const Keys& keys, __m128i s) {
    s = _mm_xor_si128(s, keys.k[0]);
    M2_UNROLL
    for (int r = 1; r < kRounds; ++r) {
        s = round<Decrypt>(s, keys.k[r]);
    }
    return lastRound<Decrypt>(s, keys.k[kRounds]);
}

// Eight independent blocks from in; the results in s.
template <bool Decrypt>
M2_AES_INLINE void lanes(const Keys& keys, const unsigned char* in, __m128i (&s)[kLanes]) {
    M2_UNROLL
    for (std::size_t j = 0; j < kLanes; ++j) {
        s[j] = _mm_xor_si128(load(in + 16 * j), keys.k[0]);
    }
    M2_UNROLL
    for (int r = 1; r < kRounds; ++r) {
        const __m128i key = keys.k[r];
        M2_UNROLL
        for (std::size_t j = 0; j < kLanes; ++j) {
            s[j] = round<Decrypt>(s[j], key);
        }
    }
    M2_UNROLL
    for (std::size_t j = 0; j < kLanes; ++j) {
        s[j] = lastRound<Decrypt>(s[j], keys.k[kRounds]);
    }
}

template <bool Decrypt>
void ecb(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out,
         std::size_t blocks) {
    const Keys keys(roundKeys);
    std::size_t i = 0;
    for (; i + kLanes <= blocks; i += kLanes) {
        __m128i s[kLanes];
        lanes<Decrypt>(keys, in + 16 * i, s);
        M2_UNROLL
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
        M2_UNROLL
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
        const unsigned char* batch = in + 16 * i;
        __m128i s[kLanes];
        lanes<true>(keys, batch, s);
        // The ciphertext is read again for the chain (and before any store, as in may be
        // out): cheaper than holding eight more registers.
        const __m128i last = load(batch + 16 * (kLanes - 1));
        __m128i chainIn[kLanes];
        chainIn[0] = previous;
        M2_UNROLL
        for (std::size_t j = 1; j < kLanes; ++j) {
            chainIn[j] = load(batch + 16 * (j - 1));
        }
        M2_UNROLL
        for (std::size_t j = 0; j < kLanes; ++j) {
            store(out + 16 * (i + j), _mm_xor_si128(s[j], chainIn[j]));
        }
        previous = last;
    }
    for (; i < blocks; ++i) {
        const __m128i cipherText = load(in + 16 * i);
        store(out + 16 * i, _mm_xor_si128(one<true>(keys, cipherText), previous));
        previous = cipherText;
    }
    store(chain, previous);
}

}  // namespace Morvane::Security::aes::ni
