#include "Sealkit/Hash/MD5.h"

#include <cstring>

#include "Sealkit/Cryptography/Wipe.h"

namespace Morvane::Security {

namespace {

constexpr int kStretchRounds = 10000;

// Additive constants floor(2^32 * |sin i|), i = 1..64, in step order.
constexpr std::uint64_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Shift amounts per round, and the message word each step reads.
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr int wordIndex(int step) {
    switch (step / 16) {
        case 0:
            return step;
        case 1:
            return (1 + 5 * step) % 16;
        case 2:
            return (5 + 3 * step) % 16;
        default:
            return (7 * step) % 16;
    }
}

constexpr std::uint64_t kLow32 = 0xffffffffu;

template <bool Masked>
constexpr std::uint64_t cut(std::uint64_t x) {
    return Masked ? (x & kLow32) : x;
}

// 64-bit rotation as the digest defines it: the right shift propagates the sign, so
// bits above 31 reach the result. C++20 defines both the conversion and the shift.
template <bool Masked>
constexpr std::uint64_t rotateLeft(std::uint64_t x, int n) {
    if constexpr (Masked) {
        return ((x << n) | (x >> (32 - n))) & kLow32;
    } else {
        const auto shifted = static_cast<std::int64_t>(x) >> (32 - n);
        return (x << n) | static_cast<std::uint64_t>(shifted);
    }
}

std::uint64_t roundFunction(int round, std::uint64_t x, std::uint64_t y, std::uint64_t z) {
    switch (round) {
        case 0:
            return (x & y) | (~x & z);
        case 1:
            return (x & z) | (y & ~z);
        case 2:
            return x ^ y ^ z;
        default:
            return y ^ (x | ~z);
    }
}

template <bool Masked>
void transform(std::uint64_t state[4], const unsigned char block[64]) {
    std::uint64_t x[16];
    Decode(x, block, 64);
    std::uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int step = 0; step < 64; ++step) {
        const int round = step / 16;
        const std::uint64_t sum =
            cut<Masked>(a + roundFunction(round, b, c, d) + x[wordIndex(step)] + kT[step]);
        const std::uint64_t next =
            cut<Masked>(b + rotateLeft<Masked>(sum, kShift[round][step % 4]));
        // The usual renaming: (a, b, c, d) becomes (d, new, b, c).
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] = cut<Masked>(state[0] + a);
    state[1] = cut<Masked>(state[1] + b);
    state[2] = cut<Masked>(state[2] + c);
    state[3] = cut<Masked>(state[3] + d);
    std::memset(x, 0, sizeof x);
}

template <bool Masked>
void update(MD5_CTX* context, const unsigned char* input, std::uint32_t length) {
    auto index = static_cast<std::uint32_t>((context->count[0] >> 3) & 0x3F);
    // A count that has gone negative carries into the high word.
    if (static_cast<std::int64_t>(context->count[0]) < 0) {
        context->count[1] += 1;
    }
    context->count[0] += static_cast<std::uint64_t>(length) << 3;
    context->count[1] += static_cast<std::uint64_t>(length) >> 29;

    const std::uint32_t partLen = 64 - index;
    std::uint32_t i = 0;
    if (length >= partLen) {
        MD5_memcpy(&context->buffer[index], input, partLen);
        transform<Masked>(context->state, context->buffer);
        for (i = partLen; i + 63 < length; i += 64) {
            transform<Masked>(context->state, &input[i]);
        }
        index = 0;
    }
    MD5_memcpy(&context->buffer[index], &input[i], length - i);
}

template <bool Masked>
void final(unsigned char digest[16], MD5_CTX* context) {
    static const unsigned char padding[64] = {0x80};
    unsigned char bits[8];
    Encode(bits, context->count, 8);
    const auto index = static_cast<std::uint32_t>((context->count[0] >> 3) & 0x3f);
    const std::uint32_t padLen = index < 56 ? 56 - index : 120 - index;
    update<Masked>(context, padding, padLen);
    update<Masked>(context, bits, 8);
    Encode(digest, context->state, 16);
    std::memset(context, 0, sizeof *context);
}

}  // namespace

void MD5Init(MD5_CTX* context) {
    context->count[0] = context->count[1] = 0;
    context->state[0] = 0x67452301;
    context->state[1] = 0xefcdab89;
    context->state[2] = 0x98badcfe;
    context->state[3] = 0x10325476;
}

void MD5Update(MD5_CTX* context, const unsigned char* input, std::uint32_t length) {
    update<false>(context, input, length);
}

void MD5Final(unsigned char digest[16], MD5_CTX* context) {
    final<false>(digest, context);
}

void MD5_transform(std::uint64_t state[4], const unsigned char block[64]) {
    transform<false>(state, block);
}

void Encode(unsigned char* output, const std::uint64_t* input, std::uint32_t length) {
    for (std::uint32_t i = 0, j = 0; j < length; ++i, j += 4) {
        output[j] = static_cast<unsigned char>(input[i] & 0xff);
        output[j + 1] = static_cast<unsigned char>((input[i] >> 8) & 0xff);
        output[j + 2] = static_cast<unsigned char>((input[i] >> 16) & 0xff);
        output[j + 3] = static_cast<unsigned char>((input[i] >> 24) & 0xff);
    }
}

void Decode(std::uint64_t* output, const unsigned char* input, std::uint32_t length) {
    for (std::uint32_t i = 0, j = 0; j < length; ++i, j += 4) {
        output[i] = static_cast<std::uint64_t>(input[j]) |
                    (static_cast<std::uint64_t>(input[j + 1]) << 8) |
                    (static_cast<std::uint64_t>(input[j + 2]) << 16) |
                    (static_cast<std::uint64_t>(input[j + 3]) << 24);
    }
}

void MD5_memcpy(unsigned char* output, const unsigned char* input, std::uint32_t length) {
    if (length != 0) {
        std::memcpy(output, input, length);
    }
}

void MD5_memset(unsigned char* output, int value, std::uint32_t length) {
    std::memset(output, value, length);
}

namespace detail {

void md5Masked32(const unsigned char* data, std::size_t length, unsigned char digest[16]) {
    MD5_CTX context;
    MD5Init(&context);
    update<true>(&context, data, static_cast<std::uint32_t>(length));
    final<true>(digest, &context);
}

}  // namespace detail

MD5::MD5(const char* text_) : text(text_) {
    MD5_CTX context;
    MD5Init(&context);
    MD5Update(&context, reinterpret_cast<const unsigned char*>(text),
              static_cast<std::uint32_t>(std::strlen(text)));
    MD5Final(digest, &context);
    ready = true;
    // Borrowed for the constructor only; nothing may read it once the caller lets go.
    text = nullptr;
}

MD5::~MD5() {
    wipe(digest, sizeof digest);
}

unsigned char* MD5::getDigestRaw() {
    return ready ? digest : nullptr;
}

void MD5::StretchKey() {
    MD5_CTX context;
    MD5Init(&context);
    for (int round = 0; round < kStretchRounds; ++round) {
        MD5Update(&context, digest, sizeof digest);
        MD5Final(digest, &context);
    }
}

}  // namespace Morvane::Security
