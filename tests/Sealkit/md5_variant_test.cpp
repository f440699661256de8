#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Sealkit/Hash/MD5.h"
#include "support/HashReference.h"
#include "support/HexText.h"

using namespace Morvane::Security;

namespace {

std::string variantHex(const std::string& text) {
    MD5 key(text.c_str());
    return m2test::lowerHex(key.getDigestRaw(), 16);
}

std::string variantHexBytes(const std::vector<unsigned char>& data) {
    MD5_CTX context;
    MD5Init(&context);
    MD5Update(&context, data.data(), static_cast<std::uint32_t>(data.size()));
    unsigned char digest[16];
    MD5Final(digest, &context);
    return m2test::lowerHex(digest, 16);
}

TEST(Md5Variant, KnownDigests) {
    const struct {
        std::string text, digest;
    } cases[] = {
        {"", "2d136b7997b2db895101e37c1529101d"},
        {"abc", "34478ba73b8e6cc78b2774c87443f8cf"},
        {"message digest", "fd2561b83085e10ac63f4656e9324e59"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456"
         "7890",
         "82e3d904400228a07adfcaf9fcf39a4c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(variantHex(c.text), c.digest);
        EXPECT_EQ(variantHexBytes({c.text.begin(), c.text.end()}), c.digest);
    }
}

// Split feeding must give the same digest as one update, across every block boundary.
TEST(Md5Variant, SplitUpdatesMatchOneUpdate) {
    const auto data = m2test::patternBytes(200);
    const std::string whole = variantHexBytes(data);
    for (std::size_t cut = 0; cut <= data.size(); cut += 7) {
        MD5_CTX context;
        MD5Init(&context);
        MD5Update(&context, data.data(), static_cast<std::uint32_t>(cut));
        MD5Update(&context, data.data() + cut, static_cast<std::uint32_t>(data.size() - cut));
        unsigned char digest[16];
        MD5Final(digest, &context);
        EXPECT_EQ(m2test::lowerHex(digest, 16), whole) << "cut at " << cut;
    }
}

// With every word cut back to 32 bits the same steps are standard MD5; comparing with
// Python's hashlib pins constants, word order, shifts and padding independently.
TEST(Md5Variant, MaskedStepsEqualStandardMd5) {
    const auto lengths = m2test::digestTestLengths();
    const auto reference = m2test::hashlibDigests(lengths, {"md5"});
    ASSERT_EQ(reference.size(), lengths.size());
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        const auto data = m2test::patternBytes(lengths[i]);
        unsigned char digest[16];
        detail::md5Masked32(data.data(), data.size(), digest);
        EXPECT_EQ(m2test::lowerHex(digest, 16), reference[i].at(0)) << "length " << lengths[i];
        // The variant differs from MD5 for every input.
        EXPECT_NE(variantHexBytes(data), reference[i].at(0)) << "length " << lengths[i];
    }
}

TEST(Md5Variant, FinalZeroesTheWholeContext) {
    MD5_CTX context;
    MD5Init(&context);
    const auto data = m2test::patternBytes(70);
    MD5Update(&context, data.data(), 70);
    unsigned char digest[16];
    MD5Final(digest, &context);
    MD5_CTX zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&context, &zero, sizeof zero), 0);
}

TEST(Md5Variant, KeyObjectHashesUpToTheFirstZeroByte) {
    const std::string withZero("ab\0cd", 5);
    MD5 key(withZero.c_str());
    EXPECT_EQ(m2test::lowerHex(key.getDigestRaw(), 16), variantHex("ab"));

    MD5 empty;
    EXPECT_EQ(empty.getDigestRaw(), nullptr);
}

}  // namespace
