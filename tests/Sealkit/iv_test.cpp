#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "Sealkit/Cryptography/IV.h"
#include "Sealkit/Hash/MD5.h"

namespace {

std::string rawBytes(const IV& iv) {
    return std::string(reinterpret_cast<const char*>(iv.getRaw()), 16);
}

std::string variantDigest(const char* text) {
    Morvane::Security::MD5 key(text);
    return std::string(reinterpret_cast<const char*>(key.getDigestRaw()), 16);
}

TEST(InitialisationVector, GenerateHashesTheNonceAsSignedDecimal) {
    const struct {
        std::uint32_t nonce;
        const char* text;
    } cases[] = {
        {0, "0"},
        {12345, "12345"},
        {2147483647u, "2147483647"},
        {2147483648u, "-2147483648"},
        {4294967295u, "-1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        IV iv(16, [&] { return c.nonce; });
        iv.generate();
        EXPECT_EQ(rawBytes(iv), variantDigest(c.text));

        const std::string hex = iv.toHex();
        ASSERT_EQ(hex.size(), 32u);
        for (char ch : hex) {
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(ch)) || (ch >= 'A' && ch <= 'F'))
                << hex;
        }
        IV back(16);
        back.setIV(hex);
        EXPECT_EQ(rawBytes(back), rawBytes(iv));
        EXPECT_EQ(back.toHex(), "");
    }
}

TEST(InitialisationVector, RandomIvsDiffer) {
    IV a(16), b(16);
    a.generate();
    b.generate();
    EXPECT_EQ(a.toHex().size(), 32u);
    // Two draws colliding is a 1 in 2^32 event.
    EXPECT_NE(a.toHex(), b.toHex());
}

TEST(InitialisationVector, SetIvFromHexText) {
    const std::string full = "00112233445566778899AABBCCDDEEFF";
    std::string lower = full;
    for (char& ch : lower) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    const std::string fullBytes("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff",
                                16);
    const std::string zeros(16, '\0');
    const struct {
        std::string text, bytes;
    } cases[] = {
        {full, fullBytes},
        {lower, fullBytes},
        {"", zeros},
        {full.substr(0, 31), zeros},                                 // odd length: nothing
        {"0011", std::string("\x00\x11", 2) + zeros.substr(2)},      // short: the rest zero
        {"0011G233", std::string("\x00\x11", 2) + zeros.substr(2)},  // stops at the bad pair
        {full + "ABCD", fullBytes},                                  // longer: only 16 pairs read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        IV iv(16);
        iv.setIV(full);  // earlier bytes must not survive
        iv.setIV(c.text);
        EXPECT_EQ(rawBytes(iv), c.bytes);
    }
}

TEST(InitialisationVector, BytesAreZeroBeforeFirstUse) {
    IV iv(16);
    ASSERT_NE(iv.getRaw(), nullptr);
    EXPECT_EQ(rawBytes(iv), std::string(16, '\0'));
    EXPECT_EQ(iv.toHex(), "");
}

TEST(InitialisationVector, SmallerAndLargerSizes) {
    IV small(8, [] { return 7u; });
    small.generate();
    EXPECT_EQ(small.toHex().size(), 16u);
    EXPECT_EQ(std::memcmp(small.getRaw(), variantDigest("7").data(), 8), 0);

    IV large(24, [] { return 7u; });
    large.generate();
    EXPECT_EQ(large.toHex().size(), 48u);
    EXPECT_EQ(std::memcmp(large.getRaw(), variantDigest("7").data(), 16), 0);
    EXPECT_EQ(large.toHex().substr(32), std::string(16, '0'));
}

}  // namespace
