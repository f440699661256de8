#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/Cryptography/AesCipher.h"
#include "Sealkit/Cryptography/Blowfish.h"
#include "Sealkit/Cryptography/CBCMode.h"
#include "Sealkit/Cryptography/CipherFactory.h"
#include "Sealkit/Cryptography/ECBMode.h"
#include "Sealkit/Cryptography/ModeFactory.h"
#include "Sealkit/Hash/KeyFactory.h"
#include "Sealkit/Hash/MD5.h"
#include "Sealkit/Hash/sha2.h"
#include "support/HexText.h"

using namespace Morvane::Security;

namespace {

// Values from the independent reference table (tests/fixtures/stretched_keys.txt) for
// the password "password".
constexpr const char* kMd5 = "6df2df31cfbe371eb21d5308ba11cccf";
constexpr const char* kMd5Stretched = "393b813957423d1cceaa7968433ae118";
constexpr const char* kSha = "5e884898da28047151d0e56f8dc6292773603d0d6aabbdd62a11ef721d1542d8";
constexpr const char* kShaStretched =
    "bd7204e1fe5a7fabe22fca78f5f0463b43285475b1208ad2a0393ab45ad4ca4f";

CCipherConstraints record(int cipher, int key, int strength, int version) {
    CCipherConstraints c;
    c.setCipherType(cipher);
    c.setKeyType(key);
    c.setStrength(strength);
    c.setVersion(version);
    return c;
}

TEST(CipherFactories, CipherByType) {
    CipherFactory factory;
    auto aes = record(1, 2, 32, 6);
    auto cipher = factory.createCipher(aes);
    ASSERT_NE(dynamic_cast<AesCipher*>(cipher.get()), nullptr);
    auto old = record(0, 0, 16, 2);
    cipher = factory.createCipher(old);
    ASSERT_NE(dynamic_cast<Blowfish*>(cipher.get()), nullptr);
    for (int type : {2, -1}) {
        auto bad = record(type, 2, 32, 6);
        EXPECT_EQ(factory.createCipher(bad), nullptr) << type;
    }
}

TEST(CipherFactories, ModeByVersion) {
    ModeFactory factory;
    for (int version : {-1, 0, 1, 2, 3, 6, 7}) {
        auto c = record(1, 2, 32, version);
        auto mode = factory.createMode(c);
        if (version > 2) {
            EXPECT_NE(dynamic_cast<CBCMode*>(mode.get()), nullptr) << version;
        } else {
            EXPECT_NE(dynamic_cast<ECBMode*>(mode.get()), nullptr) << version;
        }
    }
}

TEST(CipherFactories, KeysByTypeVersionAndStretch) {
    const struct {
        int keyType, version;
        bool stretch;
        const char* key;
        int keyBytes;
    } cases[] = {
        {2, 6, true, kShaStretched, 32}, {2, 3, true, kShaStretched, 32}, {2, 6, false, kSha, 32},
        {2, 2, true, kSha, 32},          {0, 3, true, kMd5Stretched, 16}, {0, 2, true, kMd5, 16},
        {0, 6, false, kMd5, 16},         {1, 2, false, kMd5, 16},
    };
    KeyFactory factory;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "key type " << c.keyType << " version " << c.version
                                        << " stretch " << c.stretch);
        auto constraints = record(1, c.keyType, 32, c.version);
        std::string password = "password";
        auto key = factory.createKey(constraints, password, c.stretch);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(m2test::lowerHex(key->getDigestRaw(), static_cast<std::size_t>(c.keyBytes)),
                  c.key);
        EXPECT_EQ(password, "password");
    }
}

TEST(CipherFactories, LegacyKeyTypeRewritesTheCallersRecord) {
    KeyFactory factory;
    auto constraints = record(0, 1, 32, 2);
    std::string password = "password";
    auto key = factory.createKey(constraints, password, true);
    EXPECT_NE(dynamic_cast<MD5*>(key.get()), nullptr);
    EXPECT_EQ(constraints.getKeyType(), 0);
    EXPECT_EQ(constraints.getKeyStrength(), 16);
    EXPECT_EQ(constraints.getMorvaneVersion(), 2);

    auto sha = record(1, 2, 32, 6);
    (void)factory.createKey(sha, password, true);
    EXPECT_EQ(sha.getKeyStrength(), 32);
}

TEST(CipherFactories, KeyOfStrengthSixtyFourIsTheDigestThenZeros) {
    KeyFactory factory;
    auto constraints = record(1, 2, 64, 6);
    std::string password = "password";
    auto key = factory.createKey(constraints, password, false);
    const unsigned char* raw = key->getDigestRaw();
    EXPECT_EQ(m2test::lowerHex(raw, 32), kSha);
    EXPECT_EQ(std::vector<unsigned char>(raw + 32, raw + 64), std::vector<unsigned char>(32, 0));
    EXPECT_EQ(KeyFactory::definedKeyBytes(2), 64);
    EXPECT_EQ(KeyFactory::definedKeyBytes(0), 16);
}

TEST(CipherFactories, EmbeddedZeroBytes) {
    KeyFactory factory;
    std::string password("pass\0word", 9);
    auto shaRecord = record(1, 2, 32, 6);
    auto sha = factory.createKey(shaRecord, password, false);
    EXPECT_EQ(m2test::lowerHex(sha->getDigestRaw(), 32),
              sha2(reinterpret_cast<const unsigned char*>(password.data()), 9).StringHash());

    auto md5Record = record(0, 0, 16, 6);
    auto md5 = factory.createKey(md5Record, password, false);
    MD5 prefix("pass");
    EXPECT_EQ(m2test::lowerHex(md5->getDigestRaw(), 16),
              m2test::lowerHex(prefix.getDigestRaw(), 16));
}

}  // namespace
