#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Sealkit/CipherUtils.h"
#include "Sealkit/PathUtils.h"
#include "support/CommandOutput.h"
#include "support/Hex.h"
#include "support/TestFiles.h"

using Morvane::Security::CCipherConstraints;
using Morvane::Security::CipherUtils;
namespace PathUtils = Morvane::PathUtils;

namespace {

TEST(PathUtils, ExtensionComesFromTheLastComponentOnly) {
    const struct {
        const char *path, *extension, *withoutExtension;
    } cases[] = {
        {"/docs/a.txt", "txt", "/docs/a"},
        {"/docs//a.tar.gz", "gz", "/docs//a.tar"},
        {"/docs/notes", "", "/docs/notes"},
        {"/a/my.docs/readme", "", "/a/my.docs/readme"},
        {"/a/my.docs/", "", "/a/my.docs/"},
        {"/d/.bashrc", "bashrc", "/d/"},
        {"name.", "", "name"},
        {".x", "x", ""},
        {"plain", "", "plain"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathUtils::GetFileExtension(c.path), c.extension) << c.path;
        EXPECT_EQ(PathUtils::RemoveExtension(c.path), c.withoutExtension) << c.path;
    }
}

TEST(PathUtils, ExistenceDoesNotNeedReadingOrALinkTarget) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "locked", "x");
    ASSERT_EQ(::chmod((dir / "locked").c_str(), 0), 0);
    ASSERT_EQ(::symlink((dir / "nowhere").c_str(), (dir / "dangling").c_str()), 0);
    EXPECT_TRUE(PathUtils::doesFileExist(dir / "locked"));
    EXPECT_TRUE(PathUtils::doesFileExist(dir / "dangling"));
    EXPECT_TRUE(PathUtils::doesFileExist(dir.path()));
    EXPECT_FALSE(PathUtils::doesFileExist(dir / "nowhere"));
    EXPECT_FALSE(PathUtils::doesFileExist(dir / "locked/below"));
}

TEST(CipherUtils, CollisionFreeNames) {
    const struct {
        const char* what;
        const char* path;  // inside the scratch folder
        const char* extension;
        bool replace;
        std::vector<const char*> taken;
        const char* expected;
    } cases[] = {
        {"append", "a.txt", ".m2p", false, {}, "a.txt.m2p"},
        {"append taken", "a.txt", ".m2p", false, {"a.txt.m2p"}, "a.txt_(copy 1).m2p"},
        {"append twice taken",
         "a.txt",
         ".m2p",
         false,
         {"a.txt.m2p", "a.txt_(copy 1).m2p"},
         "a.txt_(copy 2).m2p"},
        {"replace", "report.txt", ".m2p", true, {}, "report.m2p"},
        {"replace taken", "report.txt", ".m2p", true, {"report.m2p"}, "report_(copy 1).m2p"},
        {"no extension", "notes", ".m2p", false, {}, "notes.m2p"},
        {"no extension taken", "notes", ".m2p", false, {"notes.m2p"}, "notes_(copy 1).m2p"},
        {"no extension replace taken", "notes", ".m2p", true, {"notes.m2p"}, "notes_(copy 1).m2p"},
        {"copy name", "/a.txt", "txt", true, {"/a.txt"}, "/a_(copy 1).txt"},
        {"copy name free", "/a.txt", "txt", true, {}, "/a.txt"},
        {"copy name without extension", "/notes", "", true, {"/notes"}, "/notes_(copy 1)"},
        {"dot in folder", "my.docs/readme", ".m2p", true, {}, "my.docs/readme.m2p"},
        {"extension inside the name", "a.m2p.txt", ".m2p", false, {"a.m2p.txt"}, "a.m2p.txt.m2p"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m2::test::TempDir dir;
        // Joined as text, not as paths: "/a.txt" stays inside the folder, as "dir//a.txt".
        const std::string folder = dir.path().string() + "/";
        ::mkdir((dir / "my.docs").c_str(), 0700);
        for (const char* name : c.taken) {
            m2::test::writeFile(folder + name, "taken");
        }
        EXPECT_EQ(CipherUtils::setFileExtension(folder + c.path, c.extension, c.replace),
                  folder + c.expected);
    }
}

TEST(CipherUtils, EveryCopyNameTakenMeansNoName) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "a.txt.m2p", "");
    for (int n = 1; n <= CipherUtils::kMaxCopyNumber; ++n) {
        m2::test::writeFile(dir / ("a.txt_(copy " + std::to_string(n) + ").m2p"), "");
    }
    EXPECT_EQ(CipherUtils::setFileExtension(dir / "a.txt", ".m2p", false), "");
    ::unlink((dir / "a.txt_(copy 4999).m2p").c_str());
    EXPECT_EQ(CipherUtils::setFileExtension(dir / "a.txt", ".m2p", false),
              (dir / "a.txt_(copy 4999).m2p").string());
}

TEST(CipherUtils, MarkerTestNeedsSixBytes) {
    const struct {
        std::string content;
        bool encrypted;
    } cases[] = {
        {"", false},        {"<qvx>", false},         {"x<qvx>", true},
        {"x<qvx> ", false}, {"abc,  16,<qvx>", true}, {"<qvx<qvx", false},
    };
    for (const auto& c : cases) {
        m2::test::TempDir dir;
        m2::test::writeFile(dir / "f", c.content);
        FILE* file = std::fopen((dir / "f").c_str(), "rb");
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(CipherUtils::isEncrypted(file), c.encrypted) << c.content;
        EXPECT_EQ(::ftello(file), static_cast<off_t>(c.content.size()));
        std::fclose(file);
        EXPECT_EQ(CipherUtils::isEncryptedFullCheck(dir / "f"), c.encrypted);
    }
    EXPECT_FALSE(CipherUtils::isEncryptedFullCheck("/nonexistent/x.m2p"));
    EXPECT_TRUE(CipherUtils::isEncrypted(std::string("/d/a.m2p.txt")));
    EXPECT_FALSE(CipherUtils::isEncrypted(std::string("/d/a.m2")));
}

TEST(CipherUtils, HexIsUpperCaseTwoDigitsAByte) {
    const unsigned char bytes[] = {0x00, 0x0F, 0xA5, 0xFF};
    EXPECT_EQ(CipherUtils::binaryToHex(bytes, 4), "000FA5FF");
    EXPECT_EQ(CipherUtils::binaryToHex(bytes, 0), "");
}

TEST(CipherUtils, KeyfileTextMatchesSha256sumOfTheFirst2048Bytes) {
    m2::test::TempDir dir;
    const std::string content = m2::test::patternText(5 << 20);
    m2::test::writeFile(dir / "exact", content.substr(0, 2048));
    m2::test::writeFile(dir / "large", content);

    const std::string expected =
        m2test::commandOutput("head -c 2048 '" + (dir / "large").string() + "' | sha256sum")
            .substr(0, 64);
    ASSERT_EQ(expected.size(), 64u);
    EXPECT_EQ(CipherUtils::createKeyfileData(dir / "exact").view(), expected);
    EXPECT_EQ(CipherUtils::createKeyfileData(dir / "large").view(), expected);
}

TEST(CipherUtils, KeyfileErrors) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "short", m2::test::patternText(2047));
    ::mkfifo((dir / "fifo").c_str(), 0600);
    for (const std::filesystem::path& path :
         {dir / "short", dir / "missing", dir.path(), dir / "fifo"}) {
        EXPECT_EQ(CipherUtils::createKeyfileData(path).view(), "Error, could not create keyfile")
            << path;
    }
}

// Restores the per-process source after a test injected its own.
struct InjectedRandom {
    explicit InjectedRandom(std::vector<int> values) {
        CipherUtils::setNameRandomSource([values, i = std::size_t{0}]() mutable {
            return values[std::min(i++, values.size() - 1)];
        });
    }
    ~InjectedRandom() { CipherUtils::setNameRandomSource({}); }
};

CCipherConstraints userConstraints() {
    CCipherConstraints c;
    c.CreateUserConstraint();
    return c;
}

std::string upperDigestOf(int r, const std::string& path) {
    std::string hex =
        m2test::commandOutput("printf '%d%s' " + std::to_string(r) + " '" + path + "' | sha256sum")
            .substr(0, 64);
    for (char& c : hex) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return hex;
}

TEST(CipherUtils, ObfuscatedNameIsTheDigestOfTheSeedText) {
    m2::test::TempDir dir;
    const std::string path = dir / "report.txt";
    const struct {
        bool hide;
        const char* suffix;
    } cases[] = {{false, ".txt.m2p"}, {true, ".m2p"}};
    for (const auto& c : cases) {
        InjectedRandom random({1804289383});
        std::string name;
        const std::string out =
            CipherUtils::obfuscateFileName(path, name, userConstraints(), c.hide);
        EXPECT_EQ(name, "//" + upperDigestOf(1804289383, path) + c.suffix);
        EXPECT_EQ(out, dir.path().string() + name);
    }
}

TEST(CipherUtils, ObfuscatedNameDrawsAgainWhileTheNameExists) {
    m2::test::TempDir dir;
    const std::string path = dir / "a";
    std::string name;
    {
        InjectedRandom random({7, 7, 8});
        const std::string first =
            CipherUtils::obfuscateFileName(path, name, userConstraints(), false);
        EXPECT_EQ(name, "//" + upperDigestOf(7, path) + ".m2p");
        m2::test::writeFile(first, "taken");
        const std::string second =
            CipherUtils::obfuscateFileName(path, name, userConstraints(), false);
        EXPECT_EQ(name, "//" + upperDigestOf(8, path) + ".m2p");
        EXPECT_NE(first, second);
        // Only ever the taken name: no name at all.
        InjectedRandom stuck({7});
        EXPECT_EQ(CipherUtils::obfuscateFileName(path, name, userConstraints(), false), "");
    }
    // The process's own source gives different names for the same file.
    std::string again;
    EXPECT_NE(CipherUtils::obfuscateFileName(path, name, userConstraints(), false),
              CipherUtils::obfuscateFileName(path, again, userConstraints(), false));
}

TEST(CipherUtils, FileConstraintsKeepTheTrailerVersion) {
    m2::test::TempDir dir;
    const std::string v6 = m2::test::readFile(M2_FIXTURES "/m2p/v6_aes.m2p");
    const auto patched = [&](const std::string& from, const std::string& to) {
        std::string text = v6;
        const auto at = text.rfind(from);
        EXPECT_NE(at, std::string::npos);
        return text.replace(at, from.size(), to);
    };
    m2::test::writeFile(dir / "v7", patched(",6,1,2,32,,", ",7,1,2,32,,"));
    m2::test::writeFile(dir / "bad triple", patched(",6,1,2,32,,", ",9,5,2,32,,"));
    m2::test::writeFile(dir / "plain", "no trailer");
    const struct {
        std::string path;
        int cipher, key, strength, version;
        std::uint64_t size;
    } cases[] = {
        {M2_FIXTURES "/m2p/v6_aes.m2p", 1, 2, 32, 6, 16},
        {M2_FIXTURES "/m2p/v2_blowfish_ecb.m2p", 0, 0, 16, 2, 10005},
        {M2_FIXTURES "/m2p/v4_blowfish_legacy_md5.m2p", 0, 1, 16, 4, 31},
        {M2_FIXTURES "/m2p/crafted_keysize_zero.m2p", 1, 2, 16, 6, 20},
        {dir / "v7", 1, 2, 32, 7, 16},
        {dir / "bad triple", 1, 2, 32, 9, 16},
        {dir / "plain", 0, 0, 16, 2, 0},
        {dir / "missing", 0, 0, 16, 2, 0},
        {dir.path(), 0, 0, 16, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const CCipherConstraints got = CipherUtils::getFileConstraints(c.path);
        EXPECT_EQ(got.getCipherType(), c.cipher);
        EXPECT_EQ(got.getKeyType(), c.key);
        EXPECT_EQ(got.getKeyStrength(), c.strength);
        EXPECT_EQ(got.getMorvaneVersion(), c.version);
        EXPECT_EQ(got.getFileSize(), c.size);
    }
}

TEST(CipherUtils, HintsAndPasswordChecks) {
    EXPECT_EQ(CipherUtils::getHint(M2_FIXTURES "/m2p/v6_aes.m2p"), "hint");
    EXPECT_EQ(CipherUtils::getHint(M2_FIXTURES "/m2p/v2_blowfish_ecb.m2p"), "old hint");
    EXPECT_EQ(CipherUtils::getHint(M2_FIXTURES "/m2p/v4_blowfish_legacy_md5.m2p"),
              "No hint available");
    EXPECT_EQ(CipherUtils::getHint("/nonexistent.m2p"), "Cant read hint!");

    // The stretched SHA-256 key of "password" from the reference table.
    const auto key =
        m2test::fromHex("bd7204e1fe5a7fabe22fca78f5f0463b43285475b1208ad2a0393ab45ad4ca4f");
    EXPECT_TRUE(CipherUtils::checkHash(key.data(), std::string("password"), userConstraints()));
    EXPECT_FALSE(CipherUtils::checkHash(key.data(), std::string("passwort"), userConstraints()));
    auto other = key;
    other[31] ^= 1;
    EXPECT_TRUE(CipherUtils::checkHash(key.data(), key.data(), userConstraints()));
    EXPECT_FALSE(CipherUtils::checkHash(key.data(), other.data(), userConstraints()));
}

}  // namespace
