// What the pipelines leave on disk when files are linked, near the name limit, named
// without a folder or on a file system out of inodes, and after interrupted runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/Cryptography/FileDecryptor.h"
#include "Sealkit/Cryptography/FileEncryptor.h"
#include "Sealkit/MorvaneResult.h"
#include "Sealkit/SealkitFacade.h"
#include "support/FileSafety.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace Morvane::Security;
using m2::test::listFolder;
using m2::test::readFile;
using m2::test::writeFile;

namespace {

using m2::test::safety::kPassword;
using m2::test::safety::Names;
using m2::test::safety::systemText;

// Pipelines that may be told to use a named temporary, as on file systems without
// unnamed files.
class TestEncryptor : public FileEncryptor {
  public:
    explicit TestEncryptor(bool unnamed, CCipherConstraints c = user())
        : FileEncryptor(false, kPassword, c) {
        useUnnamedFiles = unnamed;
    }
    static CCipherConstraints user() {
        CCipherConstraints c;
        c.CreateUserConstraint();
        return c;
    }
    int encrypt(std::string& path) {
        std::string hint;
        return processFile(path, hint, false, "");
    }
};

class TestDecryptor : public FileDecryptor {
  public:
    explicit TestDecryptor(bool unnamed, const std::string& password = kPassword)
        : FileDecryptor(false, password) {
        useUnnamedFiles = unnamed;
    }
    int decrypt(std::string& path) {
        std::string hint;
        return processFile(path, hint, false, "");
    }
};

// A leftover of an interrupted run: this program's temporary files are private.
void writeLeftover(const fs::path& path, const std::string& bytes) {
    writeFile(path, bytes);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
}

// Runs in another working folder and comes back.
class ScopedWorkingFolder {
  public:
    explicit ScopedWorkingFolder(const fs::path& folder) : old_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~ScopedWorkingFolder() { fs::current_path(old_); }
    ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
    ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

  private:
    fs::path old_;
};

// The content a decryption of a copy of `encrypted` gives, in a folder of its own.
std::string decryptedCopy(const fs::path& encrypted) {
    m2::test::TempDir elsewhere;
    const fs::path copy = elsewhere / encrypted.filename().string();
    fs::copy_file(encrypted, copy);
    const SealkitOutcome out = Decryptor(kPassword, "").decryptFileOutcome(copy, "");
    return out.succeeded() ? readFile(out.path) : "(" + out.text() + ")";
}

// Interrupted runs leave a private temporary beside the document; with unnamed outputs
// nothing is ever named before it is complete. Either way the next run destroys the
// leftover, and a finished or failed run leaves nothing but its result.
TEST(FileSafety, LeftoversOfInterruptedRunsAreDestroyedAndNoneAreMade) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed outputs" : "named temporaries");
        m2::test::TempDir dir;
        writeFile(dir / "a.txt", "plain content");
        writeLeftover(dir / "a.txt.m2p.cdf", "half of an earlier encryption");
        std::string path = dir / "a.txt";
        ASSERT_EQ(TestEncryptor(unnamed).encrypt(path), kOK);
        EXPECT_EQ(listFolder(dir.path()), Names{"a.txt.m2p"});

        const std::string encrypted = readFile(path);
        std::string wrong = path;
        EXPECT_EQ(TestDecryptor(unnamed, "wrong").decrypt(wrong), kPasswordIncorrect);
        EXPECT_EQ(wrong, path + ".cdf");
        EXPECT_EQ(listFolder(dir.path()), Names{"a.txt.m2p"});

        // The plain leftover of a decryption killed part-way.
        writeLeftover(path + ".cdf", "plain content, half written");
        fs::permissions(path,
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_EQ(TestDecryptor(unnamed).decrypt(path), kOK);
        EXPECT_EQ(listFolder(dir.path()), Names{"a.txt"});
        EXPECT_EQ(readFile(dir / "a.txt"), "plain content");
        EXPECT_EQ(m2::test::permissionBits(dir / "a.txt"), 0640u);
    }
}

// Another name of the same file (a backup tool's hard link) keeps its content: the
// encryption removes only its own name, and shredding refuses.
TEST(FileSafety, OtherHardLinksKeepTheirContent) {
    m2::test::TempDir dir;
    fs::create_directories(dir / "dir");
    fs::create_directories(dir / "other");
    writeFile(dir / "dir/t.txt", "shared content");
    fs::create_hard_link(dir / "dir/t.txt", dir / "other/hl.txt");

    const SealkitOutcome out =
        Encryptor(kPassword, "", false, false).encryptFileOutcome(dir / "dir/t.txt", "");
    ASSERT_TRUE(out.succeeded()) << out.text();
    EXPECT_EQ(listFolder(dir / "dir"), Names{"t.txt.m2p"});
    EXPECT_EQ(readFile(dir / "other/hl.txt"), "shared content");
    EXPECT_EQ(fs::hard_link_count(dir / "other/hl.txt"), 1u);
    EXPECT_EQ(decryptedCopy(out.path), "shared content");

    fs::create_hard_link(dir / "other/hl.txt", dir / "other/hl2.txt");
    EXPECT_FALSE(Shredder().shredFile(dir / "other/hl.txt"));
    EXPECT_EQ(readFile(dir / "other/hl.txt"), "shared content");
    EXPECT_EQ(readFile(dir / "other/hl2.txt"), "shared content");
    fs::remove(dir / "other/hl2.txt");
    EXPECT_TRUE(Shredder().shredFile(dir / "other/hl.txt"));
    EXPECT_EQ(listFolder(dir / "other"), Names{});
}

// The encrypted name must fit the folder's limit of 255 bytes; decrypting in place never
// needs a longer name than the encrypted file's, with or without unnamed outputs.
TEST(FileSafety, NamesNearTheLengthLimit) {
    const struct {
        std::size_t length;
        bool fits;
    } cases[] = {{247, true}, {248, true}, {251, true}, {252, false}, {255, false}};
    for (const bool unnamed : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(c.length) +
                         (unnamed ? " bytes, unnamed" : " bytes, named"));
            m2::test::TempDir dir;
            const std::string name = std::string(c.length - 4, 'n') + ".txt";
            writeFile(dir / name, "long-named content");
            std::string path = dir / name;
            const int encrypted = TestEncryptor(unnamed).encrypt(path);
            if (!c.fits) {
                EXPECT_EQ(encrypted, CMorvaneResult::systemErrorCode(ENAMETOOLONG));
                EXPECT_EQ(CMorvaneResult::getStringResult(encrypted), "File name too long");
                EXPECT_EQ(listFolder(dir.path()), Names{name});
                continue;
            }
            ASSERT_EQ(encrypted, kOK);
            EXPECT_EQ(listFolder(dir.path()), Names{name + ".m2p"});
            if (c.length == 251) {
                // Its copy name would not fit either: refused before anything is written.
                writeFile(dir / name, "second");
                std::string again = dir / name;
                EXPECT_EQ(TestEncryptor(unnamed).encrypt(again),
                          CMorvaneResult::systemErrorCode(ENAMETOOLONG));
                EXPECT_EQ(listFolder(dir.path()), (Names{name, name + ".m2p"}));
                fs::remove(dir / name);
            }
            EXPECT_EQ(TestDecryptor(unnamed).decrypt(path), kOK);
            EXPECT_EQ(path, dir.path().string() + "//" + name);
            EXPECT_EQ(listFolder(dir.path()), Names{name});
            EXPECT_EQ(readFile(dir / name), "long-named content");
        }
    }
}

// A bare name is in the current folder, with or without scrambled names.
TEST(FileSafety, BareRelativeNames) {
    for (const bool scrambled : {false, true}) {
        SCOPED_TRACE(scrambled ? "scrambled names" : "plain names");
        m2::test::TempDir dir;
        const ScopedWorkingFolder here(dir.path());
        writeFile(dir / "a.txt", "relative content");
        const SealkitOutcome out =
            Encryptor(kPassword, "", scrambled, false).encryptFileOutcome("a.txt", "");
        ASSERT_TRUE(out.succeeded()) << out.text();
        const Names afterEncryption = listFolder(dir.path());
        ASSERT_EQ(afterEncryption.size(), 1u);
        EXPECT_EQ(out.path, scrambled ? ".//" + afterEncryption[0] : "a.txt.m2p");
        EXPECT_EQ(afterEncryption[0].size(), scrambled ? 64 + std::string(".txt.m2p").size() : 9);

        // The plain file is the encrypted file's folder, "//" and its name.
        EXPECT_EQ(Decryptor(kPassword, "").decryptFile(out.path, ""),
                  scrambled ? "ok,OK,.///a.txt" : "ok,OK,.//a.txt");
        EXPECT_EQ(listFolder(dir.path()), Names{"a.txt"});
        EXPECT_EQ(readFile(dir / "a.txt"), "relative content");
    }
}

// With no free inode both pipelines fail with the file system's own reason, and nothing
// changes.
TEST(FileSafety, NoFreeInodesGivesTheSystemsReason) {
    m2::test::SmallTmpfs disk(1 << 20, 16);
    if (!disk.mounted()) {
        GTEST_SKIP() << "no small tmpfs: " << disk.whyNotMounted();
    }
    writeFile(disk / "a.txt", "plain content");
    writeFile(disk / "b.txt", "other content");
    const SealkitOutcome sealed =
        Encryptor(kPassword, "", false, false).encryptFileOutcome(disk / "b.txt", "");
    ASSERT_TRUE(sealed.succeeded()) << sealed.text();
    const std::string encrypted = readFile(sealed.path);
    for (int n = 0;; ++n) {
        const int fd = ::open((disk / ("fill" + std::to_string(n))).c_str(),
                              O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0) {
            ASSERT_EQ(errno, ENOSPC);
            break;
        }
        ::close(fd);
    }
    const Names before = listFolder(disk.path());

    const std::string reason = systemText(ENOSPC);
    EXPECT_EQ(Encryptor(kPassword, "", false, false).encryptFile(disk / "a.txt", ""),
              "fail," + reason + "," + (disk / "a.txt").string());
    EXPECT_EQ(Decryptor(kPassword, "").decryptFile(sealed.path, ""),
              "fail," + reason + "," + sealed.path);
    EXPECT_EQ(listFolder(disk.path()), before);
    EXPECT_EQ(readFile(disk / "a.txt"), "plain content");
    EXPECT_EQ(readFile(sealed.path), encrypted);
}

}  // namespace
