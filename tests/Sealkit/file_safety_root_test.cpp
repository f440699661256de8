// Files and folders protected by inode flags, which only root may set (a user namespace does
// not give that right): what the encryptor does with them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Sealkit/MorvaneResult.h"
#include "Sealkit/SealkitFacade.h"
#include "support/FileSafety.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace Morvane::Security;
using namespace m2::test;
using namespace m2::test::safety;

namespace {

// Sets inode flags (as chattr does) and clears them again, so the folder can be removed.
class ScopedInodeFlags {
  public:
    ScopedInodeFlags(fs::path path, int flags) : path_(std::move(path)), flags_(flags) {
        set_ = change(true);
    }
    ~ScopedInodeFlags() {
        if (set_) {
            (void)change(false);
        }
    }
    ScopedInodeFlags(const ScopedInodeFlags&) = delete;
    ScopedInodeFlags& operator=(const ScopedInodeFlags&) = delete;
    [[nodiscard]] bool set() const { return set_; }

  private:
    bool change(bool on) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        int flags = 0;
        bool changed = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | flags_) : (flags & ~flags_);
        changed = changed && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        return changed;
    }
    fs::path path_;
    int flags_;
    bool set_ = false;
};

// A plain file that cannot be overwritten is not encrypted; one that was overwritten but
// whose name cannot be removed is, and standard error says so.
TEST(FileSafety, ProtectedPlainFiles) {
    const struct {
        const char* what;
        bool onFolder;
        int flag;
        bool succeeds;
    } cases[] = {
        {"immutable file", false, FS_IMMUTABLE_FL, false},
        {"append-only file", false, FS_APPEND_FL, false},
        {"append-only folder", true, FS_APPEND_FL, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m2::test::TempDir dir;
        const fs::path plain = dir / "a.txt";
        writeFile(plain, "plain content");
        const ScopedInodeFlags flags(c.onFolder ? dir.path() : plain, c.flag);
        if (!flags.set()) {
            GTEST_SKIP() << "this file system refuses the " << c.what << " flag here ("
                         << std::strerror(errno) << "); only root may set it";
        }
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const SealkitOutcome out =
            Encryptor(kPassword, "", false, false).encryptFileOutcome(plain, "");
        const std::string printed = testing::internal::GetCapturedStdout();
        const std::string diagnostics = testing::internal::GetCapturedStderr();
        EXPECT_EQ(printed, "");
        if (c.succeeds) {
            ASSERT_TRUE(out.succeeded()) << out.text();
            EXPECT_EQ(listFolder(dir.path()), (Names{"a.txt", "a.txt.m2p"}));
            EXPECT_EQ(readFile(plain), std::string(13, '\xFF'));
            EXPECT_NE(diagnostics.find(plain.string()), std::string::npos) << diagnostics;
            m2::test::TempDir elsewhere;
            const fs::path copy = elsewhere / out.path.substr(out.path.rfind('/') + 1);
            fs::copy_file(out.path, copy);
            const SealkitOutcome opened = Decryptor(kPassword, "").decryptFileOutcome(copy, "");
            ASSERT_TRUE(opened.succeeded()) << opened.text();
            EXPECT_EQ(readFile(opened.path), "plain content");
        } else {
            EXPECT_EQ(out.text(), "fail," + systemText(EPERM) + "," + plain.string());
            EXPECT_EQ(listFolder(dir.path()), Names{"a.txt"});
            EXPECT_EQ(readFile(plain), "plain content");
        }
    }
}

}  // namespace
