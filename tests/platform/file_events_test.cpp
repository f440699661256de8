#include <sys/inotify.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/FileEvents.h"
#include "platform/RunLoop.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace m2::platform;
using namespace m2::platform::FileEventFlag;
using m2::test::TempDir;
using m2::test::writeFile;

namespace {

void touch(const fs::path& path) {
    writeFile(path, "x");
}

TEST(FileEventFlags, BitValues) {
    const struct {
        std::uint32_t flag, value;
    } cases[] = {
        {mustScanSubDirs, 0x1}, {kernelDropped, 0x4},     {unmount, 0x80},
        {itemCreated, 0x100},   {itemRemoved, 0x200},     {itemInodeMetaMod, 0x400},
        {itemRenamed, 0x800},   {itemModified, 0x1000},   {itemIsFile, 0x10000},
        {itemIsDir, 0x20000},   {itemIsSymlink, 0x40000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.flag, c.value);
    }
}

TEST(FileEventFlags, MappingFromInotifyMasks) {
    const struct {
        std::uint32_t mask;
        bool isSymlink;
        std::uint32_t expected;
    } cases[] = {
        {IN_CREATE, false, itemCreated | itemIsFile},
        {IN_CREATE | IN_ISDIR, false, itemCreated | itemIsDir},
        {IN_CREATE, true, itemCreated | itemIsSymlink},
        {IN_DELETE, false, itemRemoved | itemIsFile},
        {IN_DELETE | IN_ISDIR, false, itemRemoved | itemIsDir},
        {IN_DELETE_SELF | IN_ISDIR, false, itemRemoved | itemIsDir},
        {IN_ATTRIB, false, itemInodeMetaMod | itemIsFile},
        {IN_MOVED_FROM, false, itemRenamed | itemIsFile},
        {IN_MOVED_TO | IN_ISDIR, false, itemRenamed | itemIsDir},
        {IN_MOVE_SELF | IN_ISDIR, false, itemRenamed | itemIsDir},
        {IN_MODIFY, false, itemModified | itemIsFile},
        {IN_CLOSE_WRITE, false, itemModified | itemIsFile},
        {IN_Q_OVERFLOW, false, mustScanSubDirs | kernelDropped},
        {IN_UNMOUNT, false, unmount},
        {IN_IGNORED, false, 0},
        {IN_OPEN, false, 0},
        {IN_ACCESS | IN_ISDIR, false, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(eventFlagsForInotifyMask(c.mask, c.isSymlink), c.expected)
            << std::hex << "mask 0x" << c.mask << " symlink " << c.isSymlink;
    }
}

// What one step must produce: an event for `path` (relative to the root; "" is the root)
// carrying at least the bits of `flags`.
struct Expected {
    std::string path;
    std::uint32_t flags;
};

// A real inotify stream over one root folder, turned by a poll loop.
class InotifyStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(root());
        fs::create_directory(outside());
    }

    [[nodiscard]] fs::path root() const { return dir_ / "root"; }
    [[nodiscard]] fs::path outside() const { return dir_ / "outside"; }
    [[nodiscard]] std::string at(const std::string& relative) const {
        return relative.empty() ? root().string() : (root() / relative).string();
    }

    void startStream(std::vector<std::string> paths = {}) {
        if (paths.empty()) {
            paths = {root().string()};
        }
        stream_ = service_.createStream(paths, [this](std::vector<FileEventRecord> batch) {
            ++batches_;
            for (auto& record : batch) {
                // Ids strictly increase across every batch the test sees.
                EXPECT_GT(record.id, lastId_) << record.path;
                lastId_ = record.id;
                events_.push_back(std::move(record));
            }
        });
        ASSERT_NE(stream_, nullptr);
        ASSERT_TRUE(stream_->start());
    }

    [[nodiscard]] bool seen(const Expected& e) const {
        return std::any_of(events_.begin(), events_.end(), [&](const FileEventRecord& r) {
            return r.path == at(e.path) && (r.flags & e.flags) == e.flags;
        });
    }
    [[nodiscard]] bool seenBelow(const fs::path& folder) const {
        const std::string prefix = folder.string() + "/";
        return std::any_of(events_.begin(), events_.end(),
                           [&](const FileEventRecord& r) { return r.path.rfind(prefix, 0) == 0; });
    }

    // Turns the loop until every expected event has arrived, at most five seconds.
    void waitFor(const std::vector<Expected>& expected) {
        loop_.runUntil(
            [&] {
                return std::all_of(expected.begin(), expected.end(),
                                   [&](auto& e) { return seen(e); });
            },
            std::chrono::seconds(5));
        for (const auto& e : expected) {
            EXPECT_TRUE(seen(e)) << "no event for '" << e.path << "' with flags 0x" << std::hex
                                 << e.flags << "\n"
                                 << describeEvents();
        }
    }

    [[nodiscard]] std::string describeEvents() const {
        std::string text;
        for (const auto& r : events_) {
            text += "  " + r.path + " 0x" + [&] {
                char hex[16];
                std::snprintf(hex, sizeof hex, "%x", r.flags);
                return std::string(hex);
            }() + "\n";
        }
        return text;
    }

    [[nodiscard]] std::size_t watchCount() const {
        return dynamic_cast<InotifyFileEventStream&>(*stream_).watchCount();
    }

    TempDir dir_;
    PollRunLoop loop_;
    InotifyFileEventService service_{&loop_};
    std::unique_ptr<FileEventStream> stream_;
    std::vector<FileEventRecord> events_;
    std::uint64_t lastId_ = 0;
    int batches_ = 0;
};

struct Step {
    std::function<void(const fs::path& root, const fs::path& outside)> action;
    std::vector<Expected> expected;
};

struct Case {
    const char* name;
    std::function<void(const fs::path& root, const fs::path& outside)> setup;
    std::vector<Step> steps;
    std::size_t watchesAtEnd;  // directories watched after the last step
};

void none(const fs::path&, const fs::path&) {}

TEST_F(InotifyStreamTest, ReportsChangesBelowTheRoot) {
    const Case cases[] = {
        {"create, modify, delete in the root",
         none,
         {{[](auto& r, auto&) { writeFile(r / "a.txt", "1"); },
           {{"a.txt", itemCreated | itemIsFile}}},
          {[](auto& r, auto&) { writeFile(r / "a.txt", "22"); },
           {{"a.txt", itemModified | itemIsFile}}},
          {[](auto& r, auto&) { fs::remove(r / "a.txt"); }, {{"a.txt", itemRemoved | itemIsFile}}}},
         1},
        {"create, modify, delete in a subfolder",
         [](auto& r, auto&) { fs::create_directories(r / "sub/deeper"); },
         {{[](auto& r, auto&) { writeFile(r / "sub/deeper/b.txt", "1"); },
           {{"sub/deeper/b.txt", itemCreated | itemIsFile}}},
          {[](auto& r, auto&) { writeFile(r / "sub/deeper/b.txt", "22"); },
           {{"sub/deeper/b.txt", itemModified}}},
          {[](auto& r, auto&) { fs::remove(r / "sub/deeper/b.txt"); },
           {{"sub/deeper/b.txt", itemRemoved | itemIsFile}}}},
         3},
        {"mkdir then write at once",
         none,
         {{[](auto& r, auto&) {
               fs::create_directories(r / "new/inner");
               touch(r / "new/inner/x.txt");
               touch(r / "new/y.txt");
           },
           {{"new", itemCreated | itemIsDir},
            {"new/inner", itemCreated | itemIsDir},
            {"new/inner/x.txt", itemCreated | itemIsFile},
            {"new/y.txt", itemCreated | itemIsFile}}},
          {[](auto& r, auto&) { touch(r / "new/inner/later.txt"); },
           {{"new/inner/later.txt", itemCreated}}}},
         3},
        {"rename of a file",
         [](auto& r, auto&) { touch(r / "a.txt"); },
         {{[](auto& r, auto&) { fs::rename(r / "a.txt", r / "b.txt"); },
           {{"a.txt", itemRenamed | itemIsFile}, {"b.txt", itemRenamed | itemIsFile}}}},
         1},
        {"rename of a folder, then a change inside it under its new name",
         [](auto& r, auto&) { fs::create_directories(r / "sub/inner"); },
         {{[](auto& r, auto&) { fs::rename(r / "sub", r / "moved"); },
           {{"sub", itemRenamed | itemIsDir}, {"moved", itemRenamed | itemIsDir}}},
          {[](auto& r, auto&) { touch(r / "moved/inner/c.txt"); },
           {{"moved/inner/c.txt", itemCreated | itemIsFile}}}},
         3},
        {"a folder renamed over an empty one",
         [](auto& r, auto&) {
             fs::create_directories(r / "sub/inner");
             fs::create_directories(r / "empty");
         },
         {{[](auto& r, auto&) { fs::rename(r / "sub", r / "empty"); },
           {{"empty", itemRenamed | itemIsDir}}},
          {[](auto& r, auto&) { touch(r / "empty/inner/c.txt"); },
           {{"empty/inner/c.txt", itemCreated | itemIsFile}}},
          {[](auto& r, auto& o) {
               fs::rename(r / "empty", o / "gone");
               touch(r / "marker.txt");
           },
           {{"marker.txt", itemCreated}}}},
         1},
        {"a folder moved out is no longer watched",
         [](auto& r, auto&) { fs::create_directories(r / "sub/inner"); },
         {{[](auto& r, auto& o) { fs::rename(r / "sub", o / "sub"); },
           {{"sub", itemRenamed | itemIsDir}}},
          // The marker comes after the write outside, so that write would have been seen.
          {[](auto& r, auto& o) {
               touch(o / "sub/inner/gone.txt");
               touch(r / "marker.txt");
           },
           {{"marker.txt", itemCreated}}}},
         1},
        {"a folder moved in is watched with its contents",
         [](auto&, auto& o) {
             fs::create_directories(o / "in/inner");
             touch(o / "in/inner/old.txt");
         },
         {{[](auto& r, auto& o) { fs::rename(o / "in", r / "in"); },
           {{"in", itemRenamed | itemIsDir}, {"in/inner/old.txt", itemIsFile}}},
          {[](auto& r, auto&) { touch(r / "in/inner/new.txt"); },
           {{"in/inner/new.txt", itemCreated}}}},
         3},
        {"removing a subtree leaves no watches behind",
         [](auto& r, auto&) {
             fs::create_directories(r / "sub/a/b");
             fs::create_directories(r / "sub/c");
             touch(r / "sub/a/b/f.txt");
         },
         {{[](auto& r, auto&) { fs::remove_all(r / "sub"); },
           {{"sub", itemRemoved | itemIsDir}, {"sub/a/b/f.txt", itemRemoved}}},
          {[](auto& r, auto&) { touch(r / "marker.txt"); }, {{"marker.txt", itemCreated}}}},
         1},
        {"deleting the root is reported on the root",
         [](auto& r, auto&) { fs::create_directories(r / "sub"); },
         {{[](auto& r, auto&) { fs::remove_all(r); }, {{"", itemRemoved | itemIsDir}}}},
         0},
        {"symbolic links are reported, never followed",
         [](auto& r, auto& o) {
             fs::create_directories(r / "sub");
             fs::create_directory_symlink(r, r / "sub/loop");
             fs::create_directory_symlink(o, r / "out");
         },
         {{[](auto& r, auto& o) {
               fs::create_symlink(r / "sub", r / "link");
               touch(o / "through-link.txt");
               touch(r / "marker.txt");
           },
           {{"link", itemCreated | itemIsSymlink}, {"marker.txt", itemCreated}}}},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        fs::remove_all(root());
        fs::remove_all(outside());
        SetUp();
        events_.clear();
        c.setup(root(), outside());
        startStream();
        for (const auto& step : c.steps) {
            step.action(root(), outside());
            waitFor(step.expected);
        }
        EXPECT_FALSE(seenBelow(outside())) << describeEvents();
        EXPECT_FALSE(seenBelow(root() / "sub/loop")) << describeEvents();
        EXPECT_EQ(watchCount(), c.watchesAtEnd);
        stream_.reset();
    }
}

TEST_F(InotifyStreamTest, EverythingQueuedArrivesInOneBatch) {
    startStream();
    for (int i = 0; i < 20; ++i) {
        touch(root() / ("f" + std::to_string(i)));
    }
    ASSERT_EQ(loop_.runOnce(std::chrono::seconds(5)), 1u);
    EXPECT_EQ(batches_, 1);
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(seen({"f" + std::to_string(i), itemCreated})) << i;
    }
}

TEST_F(InotifyStreamTest, OverflowAsksForARescanAndKeepsWatching) {
    touch(root() / "a");
    touch(root() / "b");
    startStream();
    // More events than the kernel queues (alternating names, so none merge), without the
    // loop turning; the creation of "late" is among those dropped.
    for (int i = 0; i < 9000; ++i) {
        for (const char* name : {"a", "b"}) {
            fs::permissions(root() / name,
                            i % 2 == 0 ? fs::perms::owner_read : fs::perms::owner_all);
        }
    }
    fs::create_directory(root() / "late");
    waitFor({{"", mustScanSubDirs | kernelDropped}});
    touch(root() / "late/x.txt");
    waitFor({{"late/x.txt", itemCreated}});
    EXPECT_EQ(watchCount(), 2u);
}

TEST_F(InotifyStreamTest, StoppedStreamReportsNothingAndStartsAfresh) {
    startStream();
    stream_->stop();
    touch(root() / "while-stopped.txt");
    EXPECT_EQ(watchCount(), 0u);
    ASSERT_TRUE(stream_->start());
    ASSERT_TRUE(stream_->start());  // a second start keeps the one registration
    EXPECT_EQ(loop_.sourceCount(), 1u);
    touch(root() / "after.txt");
    waitFor({{"after.txt", itemCreated}});
    EXPECT_FALSE(seen({"while-stopped.txt", 0}));
}

TEST_F(InotifyStreamTest, FoldersThatCannotBeWatched) {
    const std::string missing = (dir_ / "missing").string();
    EXPECT_EQ(service_.createStream({missing}, [](auto) {}), nullptr);
    touch(dir_ / "plain");
    EXPECT_EQ(service_.createStream({(dir_ / "plain").string()}, [](auto) {}), nullptr);

    // One folder that can be watched is enough; a trailing slash does not change the paths.
    startStream({missing, root().string() + "/"});
    touch(root() / "a.txt");
    waitFor({{"a.txt", itemCreated}});
}

TEST_F(InotifyStreamTest, RootThatComesBackIsWatchedAgainOnStart) {
    startStream();
    fs::remove(root());
    waitFor({{"", itemRemoved | itemIsDir}});
    EXPECT_FALSE(stream_->start());  // still missing
    fs::create_directory(root());
    ASSERT_TRUE(stream_->start());
    touch(root() / "back.txt");
    waitFor({{"back.txt", itemCreated}});
}

TEST_F(InotifyStreamTest, StreamReleasedInsideItsHandler) {
    int calls = 0;
    stream_ = service_.createStream({root().string()}, [&](auto) {
        ++calls;
        stream_.reset();
    });
    ASSERT_TRUE(stream_->start());
    touch(root() / "a");
    loop_.runUntil([&] { return calls > 0; }, std::chrono::seconds(5));
    touch(root() / "b");
    loop_.runOnce(std::chrono::milliseconds(100));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(loop_.sourceCount(), 0u);
}

}  // namespace
