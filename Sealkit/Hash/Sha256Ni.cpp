// Built with -msha -msse4.1; reached only after sha256::hardwareAvailable().
#include <immintrin.h>

#include "Sealkit/Hash/Sha256Compress.h"

namespace Morvane::Security::sha256 {

namespace {

inline __m128i roundKeys(int group) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(kK + 4 * group));
}

// Four rounds over the schedule words in msg (W[4g] in the lowest lane).
inline void fourRounds(__m128i& abef, __m128i& cdgh, __m128i msg, int group) {
    __m128i sum = _mm_add_epi32(msg, roundKeys(group));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, sum);
    sum = _mm_shuffle_epi32(sum, 0x0E);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, sum);
}

}  // namespace

void compressHardware(std::uint32_t h[8], const unsigned char* block, std::uint32_t w[16]) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);

    // The instructions work on the state as ABEF and CDGH.
    __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h));
    __m128i cdgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 4));
    tmp = _mm_shuffle_epi32(tmp, 0xB1);
    cdgh = _mm_shuffle_epi32(cdgh, 0x1B);
    __m128i abef = _mm_alignr_epi8(tmp, cdgh, 8);
    cdgh = _mm_blend_epi16(cdgh, tmp, 0xF0);
    const __m128i abefSaved = abef;
    const __m128i cdghSaved = cdgh;

    // m[g % 4] holds W[4g..4g+3] once group g is reached.
    __m128i m[4];
    for (int g = 0; g < 4; ++g) {
        m[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * g)),
                                byteSwap);
    }
#pragma GCC unroll 16
    for (int g = 0; g < 16; ++g) {
        const __m128i current = m[g % 4];
        fourRounds(abef, cdgh, current, g);
        if (g >= 3 && g < 15) {
            // Completes W[4(g+1)..]: the register already holds its sigma0 part.
            __m128i& next = m[(g + 1) % 4];
            next = _mm_add_epi32(next, _mm_alignr_epi8(current, m[(g + 3) % 4], 4));
            next = _mm_sha256msg2_epu32(next, current);
        }
        if (g >= 1 && g < 13) {
            // Starts W[4(g+3)..] in the register of group g - 1.
            __m128i& previous = m[(g + 3) % 4];
            previous = _mm_sha256msg1_epu32(previous, current);
        }
    }

    abef = _mm_add_epi32(abef, abefSaved);
    cdgh = _mm_add_epi32(cdgh, cdghSaved);
    tmp = _mm_shuffle_epi32(abef, 0x1B);
    cdgh = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_blend_epi16(tmp, cdgh, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h + 4), _mm_alignr_epi8(cdgh, tmp, 8));

    // The last four groups are W48..W63.
    for (int g = 0; g < 4; ++g) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 4 * g), m[g]);
    }
}

}  // namespace Morvane::Security::sha256
