// The mounts the tests make as a normal user: the process keeps its own user and group, and
// permission bits bind it on the mounted file system as anywhere else, or every read-only
// case there would show only what happens to root.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/TestFiles.h"

namespace {

TEST(PrivateMounts, TheUserKeepsItsNameAndPermissionBitsHold) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root passes every permission check; the test command runs this as a "
                        "normal user";
    }
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    m2::test::SmallTmpfs disk(1 << 20);
    if (!disk.mounted()) {
        GTEST_SKIP() << "no small tmpfs: " << disk.whyNotMounted();
    }
    EXPECT_EQ(::getuid(), uid);
    EXPECT_EQ(::geteuid(), uid);
    EXPECT_EQ(::getgid(), gid);

    m2::test::writeFile(disk / "locked.txt", "content");
    ASSERT_EQ(::chmod((disk / "locked.txt").c_str(), 0444), 0);
    struct stat info {};
    ASSERT_EQ(::stat((disk / "locked.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, uid) << "files made there are the user's";
    errno = 0;
    EXPECT_EQ(::open((disk / "locked.txt").c_str(), O_WRONLY | O_CLOEXEC), -1);
    EXPECT_EQ(errno, EACCES) << std::strerror(errno);

    ASSERT_EQ(::mkdir((disk / "folder").c_str(), 0555), 0);
    errno = 0;
    EXPECT_EQ(::open((disk / "folder/new.txt").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600), -1);
    EXPECT_EQ(errno, EACCES) << std::strerror(errno);

    // The read-only mount refuses even the owner's writable file.
    ASSERT_EQ(::chmod((disk / "locked.txt").c_str(), 0644), 0);
    ASSERT_TRUE(disk.setReadOnly(true));
    errno = 0;
    EXPECT_EQ(::open((disk / "locked.txt").c_str(), O_WRONLY | O_CLOEXEC), -1);
    EXPECT_EQ(errno, EROFS) << std::strerror(errno);
    ASSERT_TRUE(disk.setReadOnly(false));
    ::chmod((disk / "folder").c_str(), 0755);
}

}  // namespace
