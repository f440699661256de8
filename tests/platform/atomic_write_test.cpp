#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "platform/AtomicWrite.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::platform::copyFileAtomically;
using m2::platform::copyFileToFreeName;
using m2::platform::writeFileAtomically;
using namespace m2::test;

namespace {

TEST(AtomicWrite, NewFileGetsContentAndModeAndNoLeftovers) {
    TempDir dir;
    ASSERT_TRUE(writeFileAtomically(dir / "a.plist", "hello"));
    EXPECT_EQ(readFile(dir / "a.plist"), "hello");
    EXPECT_EQ(permissionBits(dir / "a.plist"), 0600u);
    EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"a.plist"});

    ASSERT_TRUE(writeFileAtomically(dir / "b", "", 0640));
    EXPECT_EQ(readFile(dir / "b"), "");
    EXPECT_EQ(permissionBits(dir / "b"), 0640u);
}

// The temporary's name is short and fixed, so a file whose name is as long as the folder
// allows can still be replaced.
TEST(AtomicWrite, TheLongestNameCanBeReplaced) {
    TempDir dir;
    const fs::path longest = dir / std::string(255, 'n');
    ASSERT_TRUE(writeFileAtomically(longest, "one"));
    const auto copied = writeFileAtomically(longest, "two");
    ASSERT_TRUE(copied) << copied.message;
    EXPECT_EQ(readFile(longest), "two");
    EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{longest.filename().string()});
}

// Only a leftover of ours goes: our name pattern, the user's own, mode 0600, one link,
// written before this program started and held by no writer.
TEST(AtomicWrite, LeftoverTemporariesOfEarlierRunsAndNothingElseAreRemoved) {
    TempDir dir;
    const auto old = [&](const std::string& name, mode_t mode) {
        writeFile(dir / name, "partial");
        ::chmod((dir / name).c_str(), mode);
        const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
        ::utimensat(AT_FDCWD, (dir / name).c_str(), times, 0);
    };
    writeFile(dir / "doc.txt.m2p", "sealed");
    writeFile(dir / "notes.txt", "plain");
    old(".m2-Ab3dE9", 0600);           // ours: goes
    old(".doc.txt.m2p.x9YzQ2", 0600);  // the older pattern beside a document: goes
    old(".notes.txt.backup", 0600);    // beside no document: stays
    old(".m2-Ab3dE", 0600);            // five letters: stays
    old(".m2-held01", 0600);           // being written: stays
    old(".m2-other1", 0644);           // another mode: stays
    old(".m2-linkd1", 0600);           // another link: stays
    fs::create_hard_link(dir / ".m2-linkd1", dir / "linked");
    writeFile(dir / ".m2-young1", "this run's");
    ::chmod((dir / ".m2-young1").c_str(), 0600);
    const int held = ::open((dir / ".m2-held01").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    EXPECT_EQ(m2::platform::removeLeftoverTemporaries(dir.path()), 2u);
    ::close(held);
    EXPECT_EQ(listFolder(dir.path()),
              (std::vector<std::string>{".m2-Ab3dE", ".m2-held01", ".m2-linkd1", ".m2-other1",
                                        ".m2-young1", ".notes.txt.backup", "doc.txt.m2p", "linked",
                                        "notes.txt"}));
}

TEST(AtomicWrite, ReplacingKeepsPermissionBitsIncludingReadOnly) {
    TempDir dir;
    for (const mode_t mode : {0644u, 0400u, 0660u}) {
        const fs::path file = dir / ("f" + std::to_string(mode));
        writeFile(file, "old content that is longer");
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        ASSERT_TRUE(writeFileAtomically(file, "new"));
        EXPECT_EQ(readFile(file), "new");
        EXPECT_EQ(permissionBits(file), mode);
    }
}

TEST(AtomicWrite, SymbolicLinkIsKeptAndItsTargetReplaced) {
    TempDir dir;
    fs::create_directory(dir / "real");
    writeFile(dir / "real/settings", "old");
    fs::create_symlink(dir / "real/settings", dir / "link");
    ASSERT_TRUE(writeFileAtomically(dir / "link", "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(readFile(dir / "real/settings"), "new");
    EXPECT_EQ(listFolder(dir / "real"), std::vector<std::string>{"settings"});
}

TEST(AtomicWrite, FailuresReportAndLeaveTheOldFile) {
    TempDir dir;
    writeFile(dir / "plain", "x");
    fs::create_directory(dir / "folder");

    const auto notAFolder = writeFileAtomically(dir / "plain/child", "data");
    EXPECT_FALSE(notAFolder);
    EXPECT_EQ(notAFolder.error, ENOTDIR);
    EXPECT_NE(notAFolder.message.find("plain/child"), std::string::npos);

    const auto missing = writeFileAtomically(dir / "nowhere/file", "data");
    EXPECT_EQ(missing.error, ENOENT);

    const auto overFolder = writeFileAtomically(dir / "folder", "data");
    EXPECT_EQ(overFolder.error, EISDIR);
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_EQ(readFile(dir / "plain"), "x");
    EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{"folder", "plain"}));
}

// A write that fails part-way (here: the file-size limit, which binds root as well) must
// leave the previous content whole and remove the half-written temporary file.
TEST(AtomicWrite, WriteFailingMidwayKeepsPreviousContent) {
    TempDir dir;
    const fs::path file = dir / "catalogue";
    writeFile(file, "previous");

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto result = writeFileAtomically(file, std::string(100000, 'z'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(result);
    EXPECT_EQ(result.error, EFBIG);
    EXPECT_EQ(readFile(file), "previous");
    EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"catalogue"});
}

TEST(AtomicWrite, CopyReplacesDestinationAndKeepsSourceAndModes) {
    TempDir dir;
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7 + 3);
    }
    writeFile(dir / "src", big);
    ASSERT_EQ(::chmod((dir / "src").c_str(), 0640), 0);
    writeFile(dir / "dest", "old sealed file");
    ASSERT_EQ(::chmod((dir / "dest").c_str(), 0444), 0);

    ASSERT_TRUE(copyFileAtomically(dir / "src", dir / "dest"));
    EXPECT_EQ(readFile(dir / "dest"), big);
    EXPECT_EQ(permissionBits(dir / "dest"), 0444u);
    EXPECT_EQ(readFile(dir / "src"), big);

    ASSERT_TRUE(copyFileAtomically(dir / "src", dir / "fresh"));
    EXPECT_EQ(permissionBits(dir / "fresh"), 0640u);

    const auto missing = copyFileAtomically(dir / "absent", dir / "dest");
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(readFile(dir / "dest"), big);
    EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{"dest", "fresh", "src"}));
}

// A copy to a free name takes the first name no file holds and never replaces one: not the
// file there before, nor one that appears under a later name.
TEST(AtomicWrite, ACopyToAFreeNameNeverReplacesAFile) {
    TempDir dir;
    writeFile(dir / "src", "sealed");
    ::chmod((dir / "src").c_str(), 0640);
    writeFile(dir / "a", "first");
    writeFile(dir / "a1", "second");
    const auto names = [&](int n) {
        return n < 3 ? dir / ("a" + (n == 0 ? std::string() : std::to_string(n))) : fs::path();
    };
    fs::path placed;
    ASSERT_TRUE(copyFileToFreeName(dir / "src", names, placed));
    EXPECT_EQ(placed, dir / "a2");
    EXPECT_EQ(readFile(dir / "a2"), "sealed");
    EXPECT_EQ(fs::status(dir / "a2").permissions(), static_cast<fs::perms>(0640));
    EXPECT_EQ(readFile(dir / "a"), "first");
    EXPECT_EQ(readFile(dir / "a1"), "second");
    EXPECT_EQ(readFile(dir / "src"), "sealed");

    // Every name taken: nothing is written, no temporary stays.
    fs::path none;
    const auto full = copyFileToFreeName(dir / "src", names, none);
    EXPECT_FALSE(full);
    EXPECT_EQ(full.error, EEXIST);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{"a", "a1", "a2", "src"}));
    EXPECT_FALSE(copyFileToFreeName(dir / "absent", names, none));
}

}  // namespace
