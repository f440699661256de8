#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Shredder/SecureDelete.h"
#include "support/TestFiles.h"

using Morvane::Security::CSecureDelete;

namespace {

constexpr std::uint64_t kBlock = CSecureDelete::kBlockSize;

struct Write {
    std::uint64_t offset, count;
    bool operator==(const Write&) const = default;
};

// Records every write, the sync and what the file holds under which name at removal.
class RecordingDelete : public CSecureDelete {
  public:
    RecordingDelete() : CSecureDelete(1) {}

    std::vector<Write> writes;
    std::vector<std::string> events;
    std::string removedName, contentAtRemoval;
    std::size_t failWriteNumber = 0;  // 1-based; 0 = never
    bool failSync = false, failRemove = false;

  protected:
    std::size_t writeBytes(FILE* file, const unsigned char* data, std::size_t count) override {
        writes.push_back({static_cast<std::uint64_t>(::ftello(file)), count});
        events.emplace_back("write");
        if (writes.size() == failWriteNumber) {
            return 0;
        }
        return CSecureDelete::writeBytes(file, data, count);
    }
    bool syncFile(FILE* file) override {
        events.emplace_back("sync");
        return !failSync && CSecureDelete::syncFile(file);
    }
    int removePath(const std::string& path) override {
        events.emplace_back("remove");
        removedName = path;
        contentAtRemoval = m2::test::readFile(path);
        return failRemove ? -1 : CSecureDelete::removePath(path);
    }
};

std::vector<Write> expectedWrites(std::uint64_t size) {
    std::vector<Write> out;
    if (size == 0) {
        return out;
    }
    out.push_back({size - 1, 1});
    for (std::uint64_t at = 0; at < size; at += kBlock) {
        out.push_back({at, std::min(kBlock, size - at)});
    }
    return out;
}

TEST(SecureDelete, OverwritesLastByteThenWholeFileSyncsRenamesAndRemoves) {
    for (const std::uint64_t size :
         {std::uint64_t{0}, std::uint64_t{1}, kBlock - 1, kBlock, kBlock + 1, 2 * kBlock + 7}) {
        SCOPED_TRACE(size);
        m2::test::TempDir dir;
        const std::string path = dir / "report.txt";
        m2::test::writeFile(path, m2::test::patternText(size));

        RecordingDelete shredder;
        EXPECT_TRUE(shredder.deleteFile(path));
        EXPECT_EQ(shredder.writes, expectedWrites(size));
        EXPECT_EQ(shredder.removedName, (dir / "ZZZZZZ.ZZZ").string());
        EXPECT_EQ(shredder.contentAtRemoval, std::string(size, '\xFF'));
        ASSERT_FALSE(shredder.events.empty());
        EXPECT_EQ(shredder.events.back(), "remove");
        EXPECT_EQ(shredder.events[shredder.events.size() - 2], "sync");
        EXPECT_TRUE(m2::test::listFolder(dir.path()).empty());
    }
}

TEST(SecureDelete, ZeroNameKeepsDotsAndFolder) {
    const struct {
        const char *path, *expected;
    } cases[] = {
        {"/Users/x/report.txt", "/Users/x/ZZZZZZ.ZZZ"},
        {"/d/.x", "/d/.Z"},
        {"/my.docs/readme", "/my.docs/ZZZZZZ"},
        {"/d/a.b.c", "/d/Z.Z.Z"},
        {"/d/ZZ.Z", "/d/ZZ.Z"},
        {"name", "ZZZZ"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CSecureDelete::zeroName(c.path), c.expected) << c.path;
    }
}

TEST(SecureDelete, RefusesWhatIsNotARegularFileAndChangesNothing) {
    m2::test::TempDir dir;
    const std::string target = dir / "target.txt";
    m2::test::writeFile(target, "keep me");
    ASSERT_EQ(::symlink(target.c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const auto before = m2::test::listFolder(dir.path());

    for (const char* name : {"missing", "link", "folder", "fifo"}) {
        CSecureDelete shredder(1);
        EXPECT_FALSE(shredder.deleteFile(dir / name)) << name;
    }
    EXPECT_FALSE(CSecureDelete(1).deleteFile("/dev/null"));
    EXPECT_EQ(m2::test::listFolder(dir.path()), before);
    EXPECT_EQ(m2::test::readFile(target), "keep me");
}

TEST(SecureDelete, BystanderWithTheZeroNameSurvives) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "ab.txt", "secret");
    m2::test::writeFile(dir / "ZZ.ZZZ", "bystander");

    RecordingDelete shredder;
    EXPECT_TRUE(shredder.deleteFile(dir / "ab.txt"));
    EXPECT_EQ(shredder.removedName, (dir / "ab.txt").string());
    EXPECT_EQ(shredder.contentAtRemoval, std::string(6, '\xFF'));
    EXPECT_EQ(m2::test::listFolder(dir.path()), std::vector<std::string>{"ZZ.ZZZ"});
    EXPECT_EQ(m2::test::readFile(dir / "ZZ.ZZZ"), "bystander");
}

TEST(SecureDelete, FailuresKeepTheFileUnderItsOwnName) {
    const struct {
        const char* what;
        std::size_t failWrite;
        bool failSync, failRemove;
        std::string contentAfter;
    } cases[] = {
        {"first write", 1, false, false, "secret"},
        {"second write", 2, false, false, "secre\xFF"},
        {"sync", 0, true, false, std::string(6, '\xFF')},
        {"removal", 0, false, true, std::string(6, '\xFF')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m2::test::TempDir dir;
        const std::string path = dir / "ab.txt";
        m2::test::writeFile(path, "secret");

        RecordingDelete shredder;
        shredder.failWriteNumber = c.failWrite;
        shredder.failSync = c.failSync;
        shredder.failRemove = c.failRemove;
        EXPECT_FALSE(shredder.deleteFile(path));
        EXPECT_EQ(m2::test::listFolder(dir.path()), std::vector<std::string>{"ab.txt"});
        EXPECT_EQ(m2::test::readFile(path), c.contentAfter);
    }
}

TEST(SecureDelete, ReadOnlyMountAnswersFalse) {
    m2::test::SmallTmpfs mount(1 << 20);
    if (!mount.mounted()) {
        GTEST_SKIP() << "no small tmpfs: " << mount.whyNotMounted();
    }
    m2::test::writeFile(mount / "a.txt", "secret");
    ASSERT_TRUE(mount.setReadOnly(true));
    EXPECT_FALSE(CSecureDelete(1).deleteFile(mount / "a.txt"));
    EXPECT_EQ(m2::test::readFile(mount / "a.txt"), "secret");
}

}  // namespace
