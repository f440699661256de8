#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Sealkit/Cryptography/AesCipher.h"
#include "Sealkit/Cryptography/Blowfish.h"
#include "support/CommandOutput.h"
#include "support/Hex.h"
#include "support/TestFiles.h"

using m2test::fromHex;
using m2test::toHex;
using Morvane::Security::Blowfish;

namespace {

// Every AES test runs once per backend; the hardware one is skipped on processors
// without AES instructions.
class Aes : public testing::TestWithParam<AesCipher::Backend> {
  protected:
    void SetUp() override {
        if (GetParam() == AesCipher::Backend::Hardware && !AesCipher::hardwareAvailable()) {
            GTEST_SKIP() << "no AES instructions on this processor";
        }
        ASSERT_EQ(cipher.backend(), GetParam());
    }

    void key(const std::string& hex) {
        const auto bytes = fromHex(hex);
        cipher.Initialize(bytes.data(), static_cast<int>(bytes.size()));
    }

    AesCipher cipher{GetParam()};
};

std::string backendName(const testing::TestParamInfo<AesCipher::Backend>& info) {
    return info.param == AesCipher::Backend::Hardware ? "Hardware" : "Portable";
}

INSTANTIATE_TEST_SUITE_P(Backends, Aes,
                         testing::Values(AesCipher::Backend::Portable,
                                         AesCipher::Backend::Hardware),
                         backendName);

const std::string kFipsKey = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";

TEST_P(Aes, Fips197AppendixC3) {
    key(kFipsKey);
    const auto plain = fromHex("00112233445566778899aabbccddeeff");
    std::vector<unsigned char> out(16), back(16);
    cipher.Encode(plain.data(), out.data(), 16);
    EXPECT_EQ(toHex(out), "8ea2b7ca516745bfeafc49904b496089");
    cipher.Decode(out.data(), back.data(), 16);
    EXPECT_EQ(back, plain);
}

// SP 800-38A F.2.5 / F.2.6 (CBC-AES256), chained through the bulk CBC calls.
TEST_P(Aes, Sp80038aCbcAes256) {
    key("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const auto plain = fromHex(
        "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
        "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
    const std::string expected =
        "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
        "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b";
    const auto iv = fromHex("000102030405060708090a0b0c0d0e0f");

    std::vector<unsigned char> out(64), back(64);
    auto chain = iv;
    cipher.cbcEncrypt(plain.data(), out.data(), 4, chain.data());
    EXPECT_EQ(toHex(out), expected);
    EXPECT_EQ(toHex(chain), expected.substr(96));

    chain = iv;
    cipher.cbcDecrypt(out.data(), back.data(), 4, chain.data());
    EXPECT_EQ(back, plain);
}

// The block walk of Encode/Decode: up to 16 bytes is one block, beyond that every block
// starting below the length. A sentinel block after the expected end must stay.
TEST_P(Aes, EncodeBlockWalk) {
    key(kFipsKey);
    const struct {
        unsigned length;
        std::size_t blocks;
    } cases[] = {{0, 1}, {1, 1}, {16, 1}, {17, 2}, {32, 2}, {33, 3}, {10000, 625}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        std::vector<unsigned char> in(16 * (c.blocks + 1));
        for (std::size_t i = 0; i < in.size(); ++i) {
            in[i] = static_cast<unsigned char>(i * 7);
        }
        std::vector<unsigned char> out(in.size(), 0xA5), back(in.size(), 0xA5);
        cipher.Encode(in.data(), out.data(), c.length);
        for (std::size_t i = 16 * c.blocks; i < out.size(); ++i) {
            ASSERT_EQ(out[i], 0xA5) << "wrote past block " << c.blocks;
        }
        // Each block independently: the last one equals a lone encryption of it.
        std::vector<unsigned char> single(16);
        cipher.Encode(in.data() + 16 * (c.blocks - 1), single.data(), 16);
        EXPECT_TRUE(std::equal(single.begin(), single.end(), out.begin() + 16 * (c.blocks - 1)));

        cipher.Decode(out.data(), back.data(), c.length);
        EXPECT_TRUE(std::equal(in.begin(), in.begin() + 16 * c.blocks, back.begin()));
        EXPECT_EQ(back[16 * c.blocks], 0xA5);
    }
}

// A 16-byte key is zero-extended: it never reads beyond what it was given.
TEST_P(Aes, ShortKeyIsZeroExtended) {
    const auto full = fromHex(kFipsKey);
    std::vector<unsigned char> extended(full.begin(), full.begin() + 16);
    extended.resize(32, 0);
    AesCipher reference(GetParam());
    reference.Initialize(extended.data(), 32);

    const std::vector<unsigned char> shortKey(full.begin(), full.begin() + 16);
    cipher.Initialize(shortKey.data(), 16);
    const auto plain = fromHex("00112233445566778899aabbccddeeff");
    std::vector<unsigned char> a(16), b(16);
    cipher.Encode(plain.data(), a.data(), 16);
    reference.Encode(plain.data(), b.data(), 16);
    EXPECT_EQ(a, b);

    // A longer key uses only its first 32 bytes.
    auto longKey = full;
    longKey.resize(64, 0xEE);
    cipher.Initialize(longKey.data(), 64);
    cipher.Encode(plain.data(), a.data(), 16);
    EXPECT_EQ(toHex(a), "8ea2b7ca516745bfeafc49904b496089");
}

TEST(AesBackends, AgreeOnLongRandomRuns) {
    if (!AesCipher::hardwareAvailable()) {
        GTEST_SKIP() << "no AES instructions on this processor";
    }
    AesCipher portable(AesCipher::Backend::Portable), hardware(AesCipher::Backend::Hardware);
    std::vector<unsigned char> keyBytes(32), data(16 * 37);
    std::uint32_t x = 12345;
    const auto next = [&x] {
        x = x * 1103515245u + 12345u;
        return static_cast<unsigned char>(x >> 24);
    };
    for (auto& k : keyBytes)
        k = next();
    for (auto& d : data)
        d = next();
    portable.Initialize(keyBytes.data(), 32);
    hardware.Initialize(keyBytes.data(), 32);
    // 37 blocks: several eight-block batches plus a tail.
    std::vector<unsigned char> a(data.size()), b(data.size());
    portable.Encode(data.data(), a.data(), static_cast<unsigned>(data.size()));
    hardware.Encode(data.data(), b.data(), static_cast<unsigned>(data.size()));
    EXPECT_EQ(a, b);
    portable.Decode(data.data(), a.data(), static_cast<unsigned>(data.size()));
    hardware.Decode(data.data(), b.data(), static_cast<unsigned>(data.size()));
    EXPECT_EQ(a, b);
    std::vector<unsigned char> chainA(16, 3), chainB(16, 3);
    portable.cbcDecrypt(data.data(), a.data(), 37, chainA.data());
    hardware.cbcDecrypt(data.data(), b.data(), 37, chainB.data());
    EXPECT_EQ(a, b);
    EXPECT_EQ(chainA, chainB);
    // In place, as the modes may call it.
    std::vector<unsigned char> inPlace = data;
    chainB.assign(16, 3);
    hardware.cbcDecrypt(inPlace.data(), inPlace.data(), 37, chainB.data());
    EXPECT_EQ(inPlace, a);
}

// Blowfish words in the engine's byte order: each four-byte half of the published
// vectors reversed.
std::string reverseHalves(const std::string& hex) {
    std::string out;
    for (std::size_t half = 0; half < hex.size(); half += 8) {
        for (int byte = 3; byte >= 0; --byte) {
            out += hex.substr(half + 2 * static_cast<std::size_t>(byte), 2);
        }
    }
    return out;
}

std::vector<unsigned char> blowfishEncode(Blowfish& bf, const std::vector<unsigned char>& in) {
    std::vector<unsigned char> out(Blowfish::GetOutputLength(static_cast<unsigned>(in.size())));
    bf.Encode(in.data(), out.data(), static_cast<unsigned>(in.size()));
    return out;
}

TEST(Blowfish, TablesAreTheDigitsOfPi) {
    EXPECT_EQ(Blowfish::bf_P[0], 0x243F6A88u);
    EXPECT_EQ(Blowfish::bf_P[17], 0x8979FB1Bu);
    EXPECT_EQ(Blowfish::bf_S[0], 0xD1310BA6u);
    EXPECT_EQ(Blowfish::bf_S[1023], 0x3AC372E6u);

    // The committed table source is exactly what the generator writes.
    int status = -1;
    const std::string generated = m2test::commandOutput(
        "/usr/bin/python3 " M2_SOURCE_DIR "/tests/tools/blowfish_tables.py", &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(generated,
              m2::test::readFile(M2_SOURCE_DIR "/Sealkit/Cryptography/BlowfishTables.cpp"));
}

// Plain and cipher text in the engine's byte order.
void expectBlowfishVector(const std::string& key, const std::string& plain,
                          const std::string& cipher) {
    SCOPED_TRACE(key + " " + plain);
    Blowfish bf;
    const auto keyBytes = fromHex(key);
    bf.Initialize(keyBytes.data(), static_cast<int>(keyBytes.size()));
    const auto out = blowfishEncode(bf, fromHex(plain));
    EXPECT_EQ(toHex(out), cipher);
    std::vector<unsigned char> back(8);
    bf.Decode(out.data(), back.data(), 8);
    EXPECT_EQ(toHex(back), plain);
}

TEST(Blowfish, VectorsOfTheEngine) {
    expectBlowfishVector("0000000000000000", "0000000000000000", "4597f94e78dd9861");
    expectBlowfishVector("ffffffffffffffff", "ffffffffffffffff", "d56f86518acb5eb8");
}

// Published vectors (big-endian halves), including keys of other lengths than 8.
TEST(Blowfish, PublishedVectorsWithHalvesReversed) {
    const struct {
        std::string key, plain, cipher;
    } cases[] = {
        {"0000000000000000", "0000000000000000", "4ef997456198dd78"},
        {"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
        {"3000000000000000", "1000000000000001", "7d856f9a613063f2"},
        {"1111111111111111", "1111111111111111", "2466dd878b963c9d"},
        {"0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
        {"1111111111111111", "0123456789abcdef", "7d0cc630afda1ec7"},
        {"fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"},
        {"7ca110454a1a6e57", "01a1d6d039776742", "59c68245eb05282b"},
        {"f0", "fedcba9876543210", "f9ad597c49db005e"},
        {"f0e1d2c3b4a5968778695a4b3c2d1e0f", "fedcba9876543210", "93142887ee3be15c"},
        {"f0e1d2c3b4a5968778695a4b3c2d1e0f0011223344556677", "fedcba9876543210",
         "05044b62fa52d080"},
    };
    for (const auto& c : cases) {
        expectBlowfishVector(c.key, reverseHalves(c.plain), reverseHalves(c.cipher));
    }
}

TEST(Blowfish, PartialFinalBlockIsZeroFilled) {
    Blowfish bf;
    const auto keyBytes = fromHex("0123456789abcdef");
    bf.Initialize(keyBytes.data(), 8);
    const std::vector<unsigned char> text = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    for (std::size_t n = 1; n <= text.size(); ++n) {
        SCOPED_TRACE(n);
        std::vector<unsigned char> shortText(text.begin(), text.begin() + static_cast<long>(n));
        auto padded = shortText;
        padded.resize(Blowfish::GetOutputLength(static_cast<unsigned>(n)), 0);
        EXPECT_EQ(blowfishEncode(bf, shortText), blowfishEncode(bf, padded));
    }
}

// Lengths at which the cyclic key walk wraps differently must all match their
// explicit repetition: 16 bytes repeat 4.5 times over the subkeys, 32 restart at subkey 8.
TEST(Blowfish, KeyIsUsedCyclically) {
    const auto key16 = fromHex("00112233445566778899aabbccddeeff");
    std::vector<unsigned char> key72;
    while (key72.size() < 72) {
        key72.insert(key72.end(), key16.begin(), key16.end());
    }
    key72.resize(72);
    Blowfish a, b;
    a.Initialize(key16.data(), 16);
    b.Initialize(key72.data(), 72);
    const auto block = fromHex("0011223344556677");
    EXPECT_EQ(blowfishEncode(a, block), blowfishEncode(b, block));

    const std::vector<unsigned char> key3 = {0xAB, 0xCD, 0xEF};
    std::vector<unsigned char> key3x24;
    for (int i = 0; i < 24; ++i) {
        key3x24.insert(key3x24.end(), key3.begin(), key3.end());
    }
    a.Initialize(key3.data(), 3);
    b.Initialize(key3x24.data(), 72);
    EXPECT_EQ(blowfishEncode(a, block), blowfishEncode(b, block));
}

TEST(Blowfish, KeyLengthBelowOneChangesNothing) {
    const auto keyBytes = fromHex("0000000000000000");
    Blowfish bf;
    bf.Initialize(keyBytes.data(), 8);
    const auto block = fromHex("0000000000000000");
    const auto before = blowfishEncode(bf, block);
    bf.Initialize(keyBytes.data(), 0);
    bf.Initialize(nullptr, -1);
    EXPECT_EQ(blowfishEncode(bf, block), before);
}

}  // namespace
