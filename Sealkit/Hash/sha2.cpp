#include "Sealkit/Hash/sha2.h"

#include <cpuid.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "Sealkit/Cryptography/Wipe.h"
#include "Sealkit/Hash/Sha256Compress.h"

namespace Morvane::Security {

namespace {

constexpr int kStretchRounds = 10000;
constexpr const char* kInvalidType = "Invalid SHA_TYPE type!";

constexpr std::uint32_t kSha1Init[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
constexpr std::uint32_t kSha224Init[8] = {0xc1059ed8, 0x367cd507, 0x3070dd17, 0xf70e5939,
                                          0xffc00b31, 0x68581511, 0x64f98fa7, 0xbefa4fa4};
constexpr std::uint32_t kSha256Init[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
constexpr std::uint64_t kSha384Init[8] = {
    0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17, 0x152fecd8f70e5939,
    0x67332667ffc00b31, 0x8eb44a8768581511, 0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};
constexpr std::uint64_t kSha512Init[8] = {
    0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
    0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};

constexpr std::uint64_t kK512[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};

std::uint32_t loadBig32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

std::uint64_t loadBig64(const unsigned char* p) {
    return (std::uint64_t{loadBig32(p)} << 32) | loadBig32(p + 4);
}

void storeBig32(unsigned char* p, std::uint32_t v) {
    for (int i = 3; i >= 0; --i, v >>= 8) {
        p[i] = static_cast<unsigned char>(v);
    }
}

void storeBig64(unsigned char* p, std::uint64_t v) {
    for (int i = 7; i >= 0; --i, v >>= 8) {
        p[i] = static_cast<unsigned char>(v);
    }
}

void storeLittle32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i, v >>= 8) {
        p[i] = static_cast<unsigned char>(v);
    }
}

void storeLittle64(unsigned char* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i, v >>= 8) {
        p[i] = static_cast<unsigned char>(v);
    }
}

// One SHA-2 round's renaming of the working variables a..h held in v.
template <class Word>
void nextRound(Word v[8], Word t1, Word t2) {
    for (int i = 7; i > 0; --i) {
        v[i] = v[i - 1];
    }
    v[4] += t1;
    v[0] = t1 + t2;
}

template <class Word>
void addInto(Word h[8], const Word v[8]) {
    for (int i = 0; i < 8; ++i) {
        h[i] += v[i];
    }
}

void portableCompress(std::uint32_t h[8], const unsigned char* input, std::uint32_t w[16]) {
    for (int t = 0; t < 16; ++t) {
        w[t] = loadBig32(input + 4 * t);
    }
    std::uint32_t v[8];
    std::copy(h, h + 8, v);
#pragma GCC unroll 64
    for (int t = 0; t < 64; ++t) {
        if (t >= 16) {
            const std::uint32_t w15 = w[(t - 15) & 15], w2 = w[(t - 2) & 15];
            const std::uint32_t s0 = std::rotr(w15, 7) ^ std::rotr(w15, 18) ^ (w15 >> 3);
            const std::uint32_t s1 = std::rotr(w2, 17) ^ std::rotr(w2, 19) ^ (w2 >> 10);
            w[t & 15] += s0 + w[(t - 7) & 15] + s1;
        }
        const std::uint32_t e = v[4], a = v[0];
        const std::uint32_t t1 = v[7] + (std::rotr(e, 6) ^ std::rotr(e, 11) ^ std::rotr(e, 25)) +
                                 ((e & v[5]) ^ (~e & v[6])) + sha256::kK[t] + w[t & 15];
        const std::uint32_t t2 = (std::rotr(a, 2) ^ std::rotr(a, 13) ^ std::rotr(a, 22)) +
                                 ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
        nextRound(v, t1, t2);
    }
    addInto(h, v);
}

// SHA-1 compression; w ends holding W64..W79.
void sha1Compress(std::uint32_t h[5], const unsigned char* input, std::uint32_t w[16]) {
    for (int t = 0; t < 16; ++t) {
        w[t] = loadBig32(input + 4 * t);
    }
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int t = 0; t < 80; ++t) {
        if (t >= 16) {
            w[t & 15] =
                std::rotl(w[(t - 3) & 15] ^ w[(t - 8) & 15] ^ w[(t - 14) & 15] ^ w[t & 15], 1);
        }
        std::uint32_t f, k;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5a827999;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ed9eba1;
        } else if (t < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8f1bbcdc;
        } else {
            f = b ^ c ^ d;
            k = 0xca62c1d6;
        }
        const std::uint32_t temp = std::rotl(a, 5) + f + e + k + w[t & 15];
        e = d;
        d = c;
        c = std::rotl(b, 30);
        b = a;
        a = temp;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

void sha512Compress(std::uint64_t h[8], const unsigned char* input) {
    std::uint64_t w[80];
    for (int t = 0; t < 16; ++t) {
        w[t] = loadBig64(input + 8 * t);
    }
    for (int t = 16; t < 80; ++t) {
        const std::uint64_t s0 =
            std::rotr(w[t - 15], 1) ^ std::rotr(w[t - 15], 8) ^ (w[t - 15] >> 7);
        const std::uint64_t s1 =
            std::rotr(w[t - 2], 19) ^ std::rotr(w[t - 2], 61) ^ (w[t - 2] >> 6);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    std::uint64_t v[8];
    std::copy(h, h + 8, v);
    for (int t = 0; t < 80; ++t) {
        const std::uint64_t e = v[4], a = v[0];
        const std::uint64_t t1 = v[7] + (std::rotr(e, 14) ^ std::rotr(e, 18) ^ std::rotr(e, 41)) +
                                 ((e & v[5]) ^ (~e & v[6])) + kK512[t] + w[t];
        const std::uint64_t t2 = (std::rotr(a, 28) ^ std::rotr(a, 34) ^ std::rotr(a, 39)) +
                                 ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
        nextRound(v, t1, t2);
    }
    addInto(h, v);
}

std::uint64_t byteReversed(std::uint64_t v) {
    std::uint64_t out = 0;
    for (int i = 0; i < 8; ++i, v >>= 8) {
        out = (out << 8) | (v & 0xff);
    }
    return out;
}

bool isValidType(SHA_TYPE type) {
    return type >= SHA_1 && type <= SHA_512;
}

using Compress = void (*)(std::uint32_t[8], const unsigned char*, std::uint32_t[16]);

Compress bestCompress() {
    return sha256::hardwareAvailable() ? &sha256::compressHardware : &sha256::compressPortable;
}

// The SHA instructions when the processor has them; tests switch to check both paths.
std::atomic<Compress>& chosenCompress() {
    static std::atomic<Compress> chosen{bestCompress()};
    return chosen;
}

Compress sha256Compress() {
    return chosenCompress().load(std::memory_order_relaxed);
}

}  // namespace

namespace sha256 {

void compressPortable(std::uint32_t h[8], const unsigned char* block, std::uint32_t w[16]) {
    portableCompress(h, block, w);
}

bool hardwareAvailable() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return false;
    }
    const bool sse41 = (ecx & bit_SSE4_1) != 0 && (ecx & bit_SSSE3) != 0;
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) {
        return false;
    }
    return sse41 && (ebx & bit_SHA) != 0;
}

bool useHardware(bool enabled) {
    const bool hardware = enabled && hardwareAvailable();
    chosenCompress().store(hardware ? &compressHardware : &compressPortable);
    return hardware;
}

}  // namespace sha256

sha2::sha2(const unsigned char* data, int length) {
    Init(SHA_256);
    Update(data, length > 0 ? static_cast<std::uint64_t>(length) : 0);
    End();
}

sha2::~sha2() {
    wipe(hexText);
    wipe(hexBuffer, sizeof hexBuffer);
    wipe(digestArea, sizeof digestArea);
    wipe(&state, sizeof state);
    wipe(bitCounter, sizeof bitCounter);
    wipe(block, sizeof block);
}

void sha2::Init(SHA_TYPE type_) {
    if (!isValidType(type_)) {
        throw std::runtime_error(kInvalidType);
    }
    type = type_;
    finished = false;
    std::memset(&state, 0, sizeof state);
    std::memset(bitCounter, 0, sizeof bitCounter);
    std::memset(block, 0, sizeof block);
    switch (type) {
        case SHA_1:
            std::memcpy(state.words32, kSha1Init, sizeof kSha1Init);
            break;
        case SHA_224:
            std::memcpy(state.words32, kSha224Init, sizeof kSha224Init);
            break;
        case SHA_256:
            std::memcpy(state.words32, kSha256Init, sizeof kSha256Init);
            break;
        case SHA_384:
            std::memcpy(state.words64, kSha384Init, sizeof kSha384Init);
            break;
        case SHA_512:
            std::memcpy(state.words64, kSha512Init, sizeof kSha512Init);
            break;
    }
}

void sha2::Update(const unsigned char* data, std::uint64_t length) {
    if (!isValidType(type)) {
        throw std::runtime_error(kInvalidType);
    }
    if (type <= SHA_256) {
        update64(data, length);
    } else {
        update128(data, length);
    }
}

void sha2::End() {
    finishDigest();
    writeHex();
}

void sha2::finishDigest() {
    if (!isValidType(type)) {
        throw std::runtime_error(kInvalidType);
    }
    if (type <= SHA_256) {
        end64();
    } else {
        end128();
    }
    const int length = digestLength();
    if (type <= SHA_256) {
        for (int i = 0; i < length / 4; ++i) {
            storeBig32(digestArea + 4 * i, state.words32[i]);
        }
    } else {
        for (int i = 0; i < length / 8; ++i) {
            storeBig64(digestArea + 8 * i, state.words64[i]);
        }
    }
    finished = true;
}

void sha2::writeHex() {
    const int length = digestLength();
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < length; ++i) {
        hexBuffer[2 * i] = digits[digestArea[i] >> 4];
        hexBuffer[2 * i + 1] = digits[digestArea[i] & 15];
    }
    hexBuffer[2 * length] = '\0';
    hexText = hexBuffer;
}

// The schedule of every compression is left in the block buffer, as later Updates on a
// finished context (StretchKey) hash those bytes.
void sha2::compress32(const unsigned char* input) {
    std::uint32_t w[16];
    if (type == SHA_1) {
        sha1Compress(state.words32, input, w);
    } else {
        sha256Compress()(state.words32, input, w);
    }
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(block, w, sizeof w);
    } else {
        for (int i = 0; i < 16; ++i) {
            storeLittle32(block + 4 * i, w[i]);
        }
    }
}

void sha2::update64(const unsigned char* data, std::uint64_t length) {
    if (length == 0) {
        return;
    }
    const auto used = static_cast<std::size_t>((bitCounter[0] / 8) % 64);
    if (used > 0) {
        const std::size_t free = 64 - used;
        if (length < free) {
            std::memcpy(block + used, data, static_cast<std::size_t>(length));
            bitCounter[0] += length * 8;
            return;
        }
        std::memcpy(block + used, data, free);
        bitCounter[0] += free * 8;
        compress32(block);
        data += free;
        length -= free;
    }
    while (length >= 64) {
        compress32(data);
        bitCounter[0] += 512;
        data += 64;
        length -= 64;
    }
    if (length > 0) {
        std::memcpy(block, data, static_cast<std::size_t>(length));
        bitCounter[0] += length * 8;
    }
}

void sha2::end64() {
    const auto used = static_cast<std::size_t>((bitCounter[0] / 8) % 64);
    if (used == 0) {
        std::memset(block, 0, 56);
        block[0] = 0x80;
    } else {
        block[used] = 0x80;
        if (used + 1 <= 56) {
            std::memset(block + used + 1, 0, 56 - (used + 1));
        } else {
            std::memset(block + used + 1, 0, 64 - (used + 1));
            compress32(block);
            std::memset(block, 0, 56);
        }
    }
    // The counter stays byte-reversed in the context; its little-endian bytes are the
    // original count in big-endian order.
    bitCounter[0] = byteReversed(bitCounter[0]);
    storeLittle64(block + 56, bitCounter[0]);
    compress32(block);
}

void sha2::update128(const unsigned char* data, std::uint64_t length) {
    while (length > 0) {
        const auto used = static_cast<std::size_t>((bitCounter[0] / 8) % 128);
        const std::size_t take =
            static_cast<std::size_t>(length < 128 - used ? length : 128 - used);
        std::memcpy(block + used, data, take);
        const std::uint64_t before = bitCounter[0];
        bitCounter[0] += take * 8;
        if (bitCounter[0] < before) {
            ++bitCounter[1];
        }
        if (used + take == 128) {
            sha512Compress(state.words64, block);
        }
        data += take;
        length -= take;
    }
}

void sha2::end128() {
    const auto used = static_cast<std::size_t>((bitCounter[0] / 8) % 128);
    block[used] = 0x80;
    std::memset(block + used + 1, 0, 128 - (used + 1));
    if (used + 1 > 112) {
        sha512Compress(state.words64, block);
        std::memset(block, 0, 112);
    }
    storeBig64(block + 112, bitCounter[1]);
    storeBig64(block + 120, bitCounter[0]);
    sha512Compress(state.words64, block);
}

int sha2::digestLength() const {
    switch (type) {
        case SHA_1:
            return 20;
        case SHA_224:
            return 28;
        case SHA_256:
            return 32;
        case SHA_384:
            return 48;
        case SHA_512:
            return 64;
    }
    return 0;
}

unsigned char* sha2::getDigestRaw() {
    int length = 0;
    return RawHash(length);
}

void sha2::StretchKey() {
    // Only the last round's hex text can be seen, so the others skip writing it.
    for (int round = 0; round < kStretchRounds; ++round) {
        Update(digestArea, 32);
        finishDigest();
    }
    writeHex();
}

void sha2::requireFinished() const {
    if (!finished) {
        throw std::runtime_error("Unfinished execution!");
    }
}

unsigned char* sha2::RawHash(int& length) {
    requireFinished();
    length = digestLength();
    return digestArea;
}

const char* sha2::HexHash() const {
    requireFinished();
    return hexText.c_str();
}

std::string sha2::StringHash() const {
    requireFinished();
    return hexText;
}

std::string sha2::GetHash(SHA_TYPE type_, const unsigned char* data, std::uint64_t length) {
    Init(type_);
    Update(data, length);
    End();
    return hexText;
}

}  // namespace Morvane::Security
