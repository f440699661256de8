#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/Cryptography/FileDecryptor.h"
#include "Sealkit/Cryptography/FileEncryptor.h"
#include "Sealkit/MorvaneResult.h"
#include "Sealkit/SealkitFacade.h"
#include "support/EngineFiles.h"

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
    m2test::ScratchDir dir;
    m2test::writeBytes(dir / "a.txt", content);
    const SealkitOutcome out =
        Encryptor(kPassword, "", false, false).encryptFileOutcome(dir / "a.txt", "");
    return m2test::readBytes(out.path);
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
    bool moveFile(const std::string&, const std::string&) override {
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
        m2test::writeBytes(sourcePath + ".new", "someone else's file");
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
    m2test::SmallTmpfs disk(256 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << "needs the privilege to mount a tmpfs";
    }
    const std::string content = m2test::patternText(150 * 1024);
    m2test::writeBytes(disk / "a.txt", content);
    EXPECT_EQ(Encryptor(kPassword, "", false, false).encryptFile(disk / "a.txt", ""),
              "fail,Failed to encrypt file.," + (disk / "a.txt"));
    EXPECT_EQ(m2test::readBytes(disk / "a.txt"), content);
    EXPECT_EQ(m2test::folderNames(disk.path()), std::vector<std::string>{"a.txt"});

    ::unlink((disk / "a.txt").c_str());
    const std::string encrypted = encryptedBytes(content);
    m2test::writeBytes(disk / "a.txt.m2p", encrypted);
    EXPECT_EQ(Decryptor(kPassword, "").decryptFile(disk / "a.txt.m2p", ""),
              "fail,Failed to decrypt file.," + (disk / "a.txt.m2p.cdf"));
    EXPECT_EQ(m2test::readBytes(disk / "a.txt.m2p"), encrypted);
    EXPECT_EQ(m2test::folderNames(disk.path()), std::vector<std::string>{"a.txt.m2p"});
}

TEST(PipelineFaults, ReadOnlyFolderKeepsEverything) {
    m2test::SmallTmpfs disk(1 << 20);
    if (!disk.mounted()) {
        GTEST_SKIP() << "needs the privilege to mount a tmpfs";
    }
    const std::string encrypted = encryptedBytes("encrypted content");
    m2test::writeBytes(disk / "a.txt", "plain content");
    m2test::writeBytes(disk / "b.txt.m2p", encrypted);
    ASSERT_TRUE(disk.setReadOnly(true));

    EXPECT_EQ(
        Encryptor(kPassword, "", false, false).encryptFile(disk / "a.txt", ""),
        "fail,Access Denied. You do not have write access for this directory ," + (disk / "a.txt"));
    EXPECT_EQ(Decryptor(kPassword, "").decryptFile(disk / "b.txt.m2p", ""),
              "fail," + CMorvaneResult::getStringResult(CMorvaneResult::systemErrorCode(EROFS)) +
                  "," + (disk / "b.txt.m2p"));
    EXPECT_EQ(m2test::readBytes(disk / "a.txt"), "plain content");
    EXPECT_EQ(m2test::readBytes(disk / "b.txt.m2p"), encrypted);
    EXPECT_EQ(m2test::folderNames(disk.path()), (std::vector<std::string>{"a.txt", "b.txt.m2p"}));
}

TEST(PipelineFaults, FailedFinalMoveKeepsSourceAndEncryptedFile) {
    m2test::ScratchDir dir;
    const std::string encrypted = encryptedBytes("encrypted content");
    m2test::writeBytes(dir / "a.txt.m2p", encrypted);
    FailingMoveDecryptor decryptor;
    std::string path = dir / "a.txt.m2p", hint;
    EXPECT_EQ(decryptor.processFile(path, hint, false, ""), CMorvaneResult::systemErrorCode(EIO));
    EXPECT_EQ(path, dir / "a.txt.m2p.cdf");
    EXPECT_EQ(m2test::readBytes(dir / "a.txt.m2p"), encrypted);

    const std::string working = dir / "M2PID0x1001.dat";
    m2test::writeBytes(working, "notes");
    m2test::writeBytes(working + ".m2p", "older notes");
    FailingMoveEncryptor encryptor(userConstraints());
    path = working;
    EXPECT_EQ(encryptor.processFile(path, hint, false, ""), -15);
    EXPECT_EQ(path, working);
    EXPECT_EQ(m2test::readBytes(working), "notes");
    EXPECT_EQ(m2test::readBytes(working + ".m2p"), "older notes");
    EXPECT_EQ(m2test::folderNames(dir.path()),
              (std::vector<std::string>{"M2PID0x1001.dat", "M2PID0x1001.dat.m2p", "a.txt.m2p"}));
}

TEST(PipelineFaults, AFileThatReplacedTheSourceIsNotDestroyed) {
    m2test::ScratchDir dir;
    const std::string working = dir / "M2PID0x1001.dat";
    m2test::writeBytes(working, "notes");
    SourceSwappingEncryptor encryptor(userConstraints());
    std::string path = working, hint;
    EXPECT_EQ(encryptor.processFile(path, hint, false, ""), 0);
    EXPECT_EQ(m2test::readBytes(working), "someone else's file");
    EXPECT_EQ(m2test::folderNames(dir.path()),
              (std::vector<std::string>{"M2PID0x1001.dat", "M2PID0x1001.dat.m2p"}));
}

TEST(PipelineFaults, FailedSecureDeletionStillRemovesThePlainSource) {
    m2test::ScratchDir dir;
    m2test::writeBytes(dir / "a.txt", "plain content");
    StuckDeleteEncryptor encryptor(userConstraints());
    std::string path = dir / "a.txt", hint;
    EXPECT_EQ(encryptor.processFile(path, hint, false, ""), 0);
    EXPECT_EQ(path, dir / "a.txt.m2p");
    EXPECT_EQ(m2test::folderNames(dir.path()), std::vector<std::string>{"a.txt.m2p"});
    EXPECT_EQ(Decryptor(kPassword, "").decryptFile(path, ""), "ok,OK," + dir.path() + "//a.txt");
    EXPECT_EQ(m2test::readBytes(dir / "a.txt"), "plain content");
}

}  // namespace
