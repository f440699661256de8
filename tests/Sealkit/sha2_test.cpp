#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "Sealkit/Hash/Sha256Compress.h"
#include "Sealkit/Hash/sha2.h"
#include "support/HashReference.h"
#include "support/HexText.h"

using namespace Morvane::Security;

namespace {

const unsigned char* bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

TEST(Sha2, FipsExamples) {
    const std::string abc = "abc";
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string four =
        "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklm"
        "nopqrlmnopqrsmnopqrstnopqrstu";
    const struct {
        SHA_TYPE type;
        const std::string& message;
        const char* digest;
    } cases[] = {
        {SHA_1, abc, "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {SHA_1, two, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {SHA_224, abc, "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
        {SHA_224, two, "75388b16512776cc5dba5da1fd890150b0c6455cb4f58b1952522525"},
        {SHA_256, abc, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {SHA_256, two, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {SHA_384, abc,
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca1"
         "34c825a7"},
        {SHA_384, four,
         "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa"
         "91746039"},
        {SHA_512, abc,
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23"
         "a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {SHA_512, four,
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99de"
         "c4b5433ac7d329eeb6dd26545e96e55b874be909"},
    };
    sha2 hasher(nullptr, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(hasher.GetHash(c.type, bytes(c.message), c.message.size()), c.digest);
        int length = 0;
        const unsigned char* raw = hasher.RawHash(length);
        EXPECT_EQ(2 * static_cast<std::size_t>(length), std::strlen(c.digest));
        EXPECT_EQ(m2test::lowerHex(raw, static_cast<std::size_t>(length)), c.digest);
        EXPECT_STREQ(hasher.HexHash(), c.digest);
    }

    sha2 direct(bytes(abc), 3);
    EXPECT_EQ(direct.StringHash(), cases[4].digest);
    std::string million(1000000, 'a');
    sha2 longer(bytes(million), static_cast<int>(million.size()));
    EXPECT_EQ(longer.StringHash(),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Every type over a table of lengths against Python's hashlib, on one reused object, so
// Init is also shown to discard what the previous computation left behind.
TEST(Sha2, MatchesHashlibForManyLengths) {
    const auto lengths = m2test::digestTestLengths();
    const auto reference =
        m2test::hashlibDigests(lengths, {"sha1", "sha224", "sha256", "sha384", "sha512"});
    ASSERT_EQ(reference.size(), lengths.size());
    m2test::forEachSha256Backend([&](const char* backend) {
        SCOPED_TRACE(backend);
        const SHA_TYPE types[] = {SHA_1, SHA_224, SHA_256, SHA_384, SHA_512};
        sha2 reused(nullptr, 0);
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            const std::size_t n = lengths[i];
            SCOPED_TRACE(testing::Message() << "length " << n);
            const auto data = m2test::patternBytes(n);
            ASSERT_EQ(reference[i].size(), 5u);
            for (std::size_t t = 0; t < 5; ++t) {
                EXPECT_EQ(reused.GetHash(types[t], data.data(), n), reference[i][t]) << types[t];
            }
            const std::string& expected = reference[i][2];
            EXPECT_EQ(sha2(data.data(), static_cast<int>(n)).StringHash(), expected);
            // Fed in two pieces, through the buffer and straight from the input.
            const std::size_t cut = n * 3 / 7;
            reused.Init(SHA_256);
            reused.Update(data.data(), cut);
            reused.Update(data.data() + cut, n - cut);
            reused.End();
            EXPECT_EQ(reused.StringHash(), expected) << "split at " << cut;
        }
    });
}

TEST(Sha2, DigestAreaHoldsZerosAfterTheSha256Digest) {
    sha2 key(bytes("password"), 8);
    const std::string expected = key.StringHash();
    const unsigned char* raw = key.getDigestRaw();
    EXPECT_EQ(m2test::lowerHex(raw, 32), expected);
    EXPECT_EQ(std::vector<unsigned char>(raw + 32, raw + 64), std::vector<unsigned char>(32, 0));
}

TEST(Sha2, MisuseRaisesItsErrors) {
    sha2 hasher(bytes("abc"), 3);
    hasher.Init(SHA_256);
    int length = 0;
    for (auto read :
         {+[](sha2&h, int&n) { h.RawHash(n); }, +[](sha2&h, int&) { (void)h.HexHash(); },
          +[](sha2&h, int&) { (void)h.StringHash(); }}) {
        try {
            read(hasher, length);
            ADD_FAILURE() << "no error before End";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Unfinished execution!");
        }
    }
    try {
        hasher.Init(static_cast<SHA_TYPE>(6));
        ADD_FAILURE() << "unknown type accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Invalid SHA_TYPE type!");
    }
}

}  // namespace

namespace {

// The instruction path must give the portable path's state and schedule bytes exactly,
// as later rounds of a stretched key hash the schedule.
TEST(Sha2, HardwareCompressionEqualsPortable) {
    if (!Morvane::Security::sha256::hardwareAvailable()) {
        GTEST_SKIP() << "no SHA instructions on this processor";
    }
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed;
    };
    for (int trial = 0; trial < 2000; ++trial) {
        std::uint32_t h1[8], h2[8], w1[16], w2[16];
        unsigned char block[64];
        for (auto& word : h1) {
            word = next();
        }
        std::copy(std::begin(h1), std::end(h1), h2);
        for (auto& byte : block) {
            byte = static_cast<unsigned char>(next() >> 24);
        }
        Morvane::Security::sha256::compressPortable(h1, block, w1);
        Morvane::Security::sha256::compressHardware(h2, block, w2);
        ASSERT_EQ(std::vector<std::uint32_t>(h1, h1 + 8), std::vector<std::uint32_t>(h2, h2 + 8))
            << "trial " << trial;
        ASSERT_EQ(std::vector<std::uint32_t>(w1, w1 + 16), std::vector<std::uint32_t>(w2, w2 + 16))
            << "trial " << trial;
    }
}

}  // namespace
