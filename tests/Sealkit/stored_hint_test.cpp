#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Sealkit/SealkitFacade.h"
#include "support/Hex.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::test::readFile;
using m2::test::TempDir;
using m2::test::writeFile;

namespace {

// Every stored version with a hint gives it back, read without the password.
TEST(StoredHint, FixturesOfEveryVersion) {
    std::ifstream manifest(fs::path(M2_FIXTURES) / "m2p/manifest.txt");
    int checked = 0;
    for (std::string line; std::getline(manifest, line);) {
        std::istringstream fields(line);
        std::string name, nameHex, size, version, cipher, keyType, strength, hintHex;
        fields >> name >> nameHex >> size >> version >> cipher >> keyType >> strength >> hintHex;
        if (name.empty() || name[0] == '#' || hintHex == "-") {
            continue;
        }
        SCOPED_TRACE(name);
        const auto bytes = m2test::fromHex(hintHex);
        EXPECT_EQ(readStoredHint((fs::path(M2_FIXTURES) / "m2p" / name).string()),
                  std::string(bytes.begin(), bytes.end()));
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST(StoredHint, WhatTheEncryptorStoresAndWhatIsNoDocument) {
    const TempDir dir;
    for (const std::string hint : {"my hint", "", "a,b \"c\" $d `e` \xC3\xBC\xE2\x82\xAC"}) {
        SCOPED_TRACE(hint);
        const fs::path plain = dir / "doc.txt";
        writeFile(plain, "text");
        Encryptor encryptor("secret-password", "", false, false);
        const SealkitOutcome sealed = encryptor.encryptFileOutcome(plain.string(), hint);
        ASSERT_TRUE(sealed.succeeded()) << sealed.message;
        EXPECT_EQ(readStoredHint(sealed.path), hint);
        fs::remove(sealed.path);
    }
    writeFile(dir / "plain.txt", "no trailer here, just text of some length\n");
    EXPECT_EQ(readStoredHint((dir / "plain.txt").string()), std::nullopt);
    writeFile(dir / "empty", "");
    EXPECT_EQ(readStoredHint((dir / "empty").string()), std::nullopt);
    EXPECT_EQ(readStoredHint((dir / "missing.m2p").string()), std::nullopt);
    EXPECT_EQ(readStoredHint(dir.path().string()), std::nullopt);
}

}  // namespace
