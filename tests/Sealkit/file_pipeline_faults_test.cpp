#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/Cryptography/FileDecryptor.h"
#include "Sealkit/Cryptography/FileEncryptor.h"
#include "Sealkit/MorvaneResult.h"
#include "Sealkit/SealkitFacade.h"
#include "support/TestFiles.h"

using namespace Morvane::Security;

namespace {

const std::string kPassword = "fault password";

CCipherConstraints userConstraints() {
    CCipherConstraints c;
    c.CreateUserConstraint();
    return c;
}

// An encrypted file of `content` made in a scratch folder; its bytes.
std::string encryptedBytes(const std::string& content) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "a.txt", content);
    const SealkitOutcome out =
        Encryptor(kPassword, "", false, false).encryptFileOutcome(dir / "a.txt", "");
    return m2::test::readFile(out.path);
}

// Every move of the finished output fails as the file system would.
class FailingMoveEncryptor : public FileEncryptor {
  public:
    FailingMoveEncryptor(CCipherConstraints c) : FileEncryptor(false, kPassword, c) {}

  protected:
    bool replaceFile(const std::string&, const std::string&) override {
        errno = EIO;
        return false;
    }
};

class FailingMoveDecryptor : public FileDecryptor {
  public:
    FailingMoveDecryptor() : FileDecryptor(false, kPassword) {}

  protected:
    bool placeOutput(const std::string&) override {
        errno = EIO;
        return false;
    }
};

// Completes the move, then puts another file where the source was, as a second program
// might while the encryption runs.
class SourceSwappingEncryptor : public FileEncryptor {
  public:
    SourceSwappingEncryptor(CCipherConstraints c) : FileEncryptor(false, kPassword, c) {}

  protected:
    bool replaceFile(const std::string& from, const std::string& to) override {
        const bool moved = FileEncryptor::replaceFile(from, to);
        m2::test::writeFile(sourcePath + ".new", "someone else's file");
        return moved && std::rename((sourcePath + ".new").c_str(), sourcePath.c_str()) == 0;
    }
};

// Secure deletion that overwrites but cannot remove the file.
class StuckDelete : public CSecureDelete {
  public:
    StuckDelete() : CSecureDelete(1) {}

  protected:
    int removePath(const std::string&) override { return -1; }
};

class StuckDeleteEncryptor : public FileEncryptor {
  public:
    StuckDeleteEncryptor(CCipherConstraints c) : FileEncryptor(false, kPassword, c) {
        secureDelete = std::make_unique<StuckDelete>();
    }
};

TEST(PipelineFaults, FullDiskKeepsSourceAndEncryptedFile) {
    m2::test::SmallTmpfs disk(256 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << "no small tmpfs: " << disk.whyNotMounted();
    }
    const std::string content = m2::test::patternText(150 * 1024);
    m2::test::writeFile(disk / "a.txt", content);
    EXPECT_EQ(Encryptor(kPassword, "", false, false).encryptFile(disk / "a.txt", ""),
              "fail,Failed to encrypt file.," + (disk / "a.txt").string());
    EXPECT_EQ(m2::test::readFile(disk / "a.txt"), content);
    EXPECT_EQ(m2::test::listFolder(disk.path()), std::vector<std::string>{"a.txt"});

    ::unlink((disk / "a.txt").c_str());
    const std::string encrypted = encryptedBytes(content);
    m2::test::writeFile(disk / "a.txt.m2p", encrypted);
    EXPECT_EQ(Decryptor(kPassword, "").decryptFile(disk / "a.txt.m2p", ""),
              "fail,Failed to decrypt file.," + (disk / "a.txt.m2p.cdf").string());
    EXPECT_EQ(m2::test::readFile(disk / "a.txt.m2p"), encrypted);
    EXPECT_EQ(m2::test::listFolder(disk.path()), std::vector<std::string>{"a.txt.m2p"});
}

TEST(PipelineFaults, ReadOnlyFolderKeepsEverything) {
    m2::test::SmallTmpfs disk(1 << 20);
    if (!disk.mounted()) {
        GTEST_SKIP() << "no small tmpfs: " << disk.whyNotMounted();
    }
    const std::string encrypted = encryptedBytes("encrypted content");
    m2::test::writeFile(disk / "a.txt", "plain content");
    m2::test::writeFile(disk / "b.txt.m2p", encrypted);
    ASSERT_TRUE(disk.setReadOnly(true));

    EXPECT_EQ(Encryptor(kPassword, "", false, false).encryptFile(disk / "a.txt", ""),
              "fail," + CMorvaneResult::getStringResult(CMorvaneResult::systemErrorCode(EROFS)) +
                  "," + (disk / "a.txt").string());
    EXPECT_EQ(Decryptor(kPassword, "").decryptFile(disk / "b.txt.m2p", ""),
              "fail," + CMorvaneResult::getStringResult(CMorvaneResult::systemErrorCode(EROFS)) +
                  "," + (disk / "b.txt.m2p").string());
    EXPECT_EQ(m2::test::readFile(disk / "a.txt"), "plain content");
    EXPECT_EQ(m2::test::readFile(disk / "b.txt.m2p"), encrypted);
    EXPECT_EQ(m2::test::listFolder(disk.path()), (std::vector<std::string>{"a.txt", "b.txt.m2p"}));
}

TEST(PipelineFaults, FailedFinalMoveKeepsSourceAndEncryptedFile) {
    m2::test::TempDir dir;
    const std::string encrypted = encryptedBytes("encrypted content");
    m2::test::writeFile(dir / "a.txt.m2p", encrypted);
    FailingMoveDecryptor decryptor;
    std::string path = dir / "a.txt.m2p", hint;
    EXPECT_EQ(decryptor.processFile(path, hint, false, ""), CMorvaneResult::systemErrorCode(EIO));
    EXPECT_EQ(path, (dir / "a.txt.m2p.cdf").string());
    EXPECT_EQ(m2::test::readFile(dir / "a.txt.m2p"), encrypted);

    const std::string working = dir / "M2PID0x1001.dat";
    m2::test::writeFile(working, "notes");
    m2::test::writeFile(working + ".m2p", "older notes");
    FailingMoveEncryptor encryptor(userConstraints());
    path = working;
    EXPECT_EQ(encryptor.processFile(path, hint, false, ""), -15);
    EXPECT_EQ(path, working);
    EXPECT_EQ(m2::test::readFile(working), "notes");
    EXPECT_EQ(m2::test::readFile(working + ".m2p"), "older notes");
    EXPECT_EQ(m2::test::listFolder(dir.path()),
              (std::vector<std::string>{"M2PID0x1001.dat", "M2PID0x1001.dat.m2p", "a.txt.m2p"}));
}

TEST(PipelineFaults, AFileThatReplacedTheSourceIsNotDestroyed) {
    m2::test::TempDir dir;
    const std::string working = dir / "M2PID0x1001.dat";
    m2::test::writeFile(working, "notes");
    SourceSwappingEncryptor encryptor(userConstraints());
    std::string path = working, hint;
    EXPECT_EQ(encryptor.processFile(path, hint, false, ""), 0);
    EXPECT_EQ(m2::test::readFile(working), "someone else's file");
    EXPECT_EQ(m2::test::listFolder(dir.path()),
              (std::vector<std::string>{"M2PID0x1001.dat", "M2PID0x1001.dat.m2p"}));
}

TEST(PipelineFaults, FailedSecureDeletionStillRemovesThePlainSource) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "a.txt", "plain content");
    StuckDeleteEncryptor encryptor(userConstraints());
    std::string path = dir / "a.txt", hint;
    EXPECT_EQ(encryptor.processFile(path, hint, false, ""), 0);
    EXPECT_EQ(path, (dir / "a.txt.m2p").string());
    EXPECT_EQ(m2::test::listFolder(dir.path()), std::vector<std::string>{"a.txt.m2p"});
    EXPECT_EQ(Decryptor(kPassword, "").decryptFile(path, ""),
              "ok,OK," + dir.path().string() + "//a.txt");
    EXPECT_EQ(m2::test::readFile(dir / "a.txt"), "plain content");
}

}  // namespace
