#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Sealkit/CipherUtils.h"
#include "Sealkit/PathUtils.h"
#include "support/CommandOutput.h"
#include "support/EngineFiles.h"

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
    m2test::ScratchDir dir;
    m2test::writeBytes(dir / "locked", "x");
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
        m2test::ScratchDir dir;
        ::mkdir((dir / "my.docs").c_str(), 0700);
        for (const char* name : c.taken) {
            m2test::writeBytes(dir / name, "taken");
        }
        EXPECT_EQ(CipherUtils::setFileExtension(dir / c.path, c.extension, c.replace),
                  dir / c.expected);
    }
}

TEST(CipherUtils, EveryCopyNameTakenMeansNoName) {
    m2test::ScratchDir dir;
    m2test::writeBytes(dir / "a.txt.m2p", "");
    for (int n = 1; n <= CipherUtils::kMaxCopyNumber; ++n) {
        m2test::writeBytes(dir / ("a.txt_(copy " + std::to_string(n) + ").m2p"), "");
    }
    EXPECT_EQ(CipherUtils::setFileExtension(dir / "a.txt", ".m2p", false), "");
    ::unlink((dir / "a.txt_(copy 4999).m2p").c_str());
    EXPECT_EQ(CipherUtils::setFileExtension(dir / "a.txt", ".m2p", false),
              dir / "a.txt_(copy 4999).m2p");
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
        m2test::ScratchDir dir;
        m2test::writeBytes(dir / "f", c.content);
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
    m2test::ScratchDir dir;
    const std::string content = m2test::patternText(5 << 20);
    m2test::writeBytes(dir / "exact", content.substr(0, 2048));
    m2test::writeBytes(dir / "large", content);

    const std::string expected =
        m2test::commandOutput("head -c 2048 '" + (dir / "large") + "' | sha256sum").substr(0, 64);
    ASSERT_EQ(expected.size(), 64u);
    EXPECT_EQ(CipherUtils::createKeyfileData(dir / "exact"), expected);
    EXPECT_EQ(CipherUtils::createKeyfileData(dir / "large"), expected);
}

TEST(CipherUtils, KeyfileErrors) {
    m2test::ScratchDir dir;
    m2test::writeBytes(dir / "short", m2test::patternText(2047));
    ::mkfifo((dir / "fifo").c_str(), 0600);
    for (const std::string& path : {dir / "short", dir / "missing", dir.path(), dir / "fifo"}) {
        EXPECT_EQ(CipherUtils::createKeyfileData(path), "Error, could not create keyfile") << path;
    }
}

}  // namespace
