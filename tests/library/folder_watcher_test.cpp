#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/library/FolderWatcher.h"
#include "platform/FileEvents.h"
#include "platform/RunLoop.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::FileEvent;
using m2::FolderWatcher;
using namespace m2::platform;
using State = FolderWatcher::State;

namespace {

// Streams that only count what is done to them; the test hands them batches.
class FakeService final : public FileEventService {
  public:
    struct Stream final : FileEventStream {
        Stream(FakeService& owner, std::vector<std::string> paths, FileEventBatchHandler handler)
            : owner(owner), paths(std::move(paths)), handler(std::move(handler)) {
            owner.live.push_back(this);
        }
        ~Stream() override { std::erase(owner.live, this); }
        bool start() override {
            ++starts;
            return true;
        }
        void stop() override { ++stops; }

        FakeService& owner;
        std::vector<std::string> paths;
        FileEventBatchHandler handler;
        int starts = 0, stops = 0;
    };

    std::unique_ptr<FileEventStream> createStream(const std::vector<std::string>& paths,
                                                  FileEventBatchHandler handler) override {
        if (failCreation) {
            return nullptr;
        }
        ++created;
        return std::make_unique<Stream>(*this, paths, std::move(handler));
    }

    std::vector<Stream*> live;
    int created = 0;
    bool failCreation = false;
};

enum class Op { Watch1, Watch2, Pause, Resume, AssignPaths, AssignNone };

struct Received {
    int first = 0, second = 0;
};

void apply(FolderWatcher& watcher, Op op, Received& received) {
    switch (op) {
        case Op::Watch1:
            watcher.watch([&](const auto&) { ++received.first; });
            break;
        case Op::Watch2:
            watcher.watch([&](const auto&) { ++received.second; });
            break;
        case Op::Pause:
            watcher.pause();
            break;
        case Op::Resume:
            watcher.resume();
            break;
        case Op::AssignPaths:
            watcher.setWatchingPaths(std::vector<std::string>{"/new"});
            break;
        case Op::AssignNone:
            watcher.setWatchingPaths(std::nullopt);
            break;
    }
}

TEST(FolderWatcherStates, Table) {
    using enum Op;
    const struct {
        const char* name;
        bool madeWithPaths;
        std::vector<Op> ops;
        State state;
        int streamsCreated;
        std::vector<std::string> livePaths;  // of the one live stream, when there is one
        int starts, stops;                   // on the live stream
        int firstCalls, secondCalls;         // after one batch is handed to the live stream
    } cases[] = {
        {"made without paths, watch creates nothing",
         false,
         {Watch1},
         State::Idle,
         0,
         {},
         0,
         0,
         0,
         0},
        {"paths assigned later still wait for watch",
         false,
         {Watch1, AssignPaths},
         State::Idle,
         0,
         {},
         0,
         0,
         0,
         0},
        {"then watch starts",
         false,
         {Watch1, AssignPaths, Watch2},
         State::Watching,
         1,
         {"/new"},
         1,
         0,
         0,
         1},
        {"watch", true, {Watch1}, State::Watching, 1, {"/root"}, 1, 0, 1, 0},
        {"second watch keeps the first callback",
         true,
         {Watch1, Watch2},
         State::Watching,
         1,
         {"/root"},
         1,
         0,
         1,
         0},
        {"pause and resume before watch", true, {Pause, Resume}, State::Idle, 0, {}, 0, 0, 0, 0},
        {"assigning paths while idle only stores them",
         true,
         {AssignPaths},
         State::Idle,
         0,
         {},
         0,
         0,
         0,
         0},
        {"pause", true, {Watch1, Pause}, State::Paused, 1, {"/root"}, 1, 1, 1, 0},
        {"pause twice", true, {Watch1, Pause, Pause}, State::Paused, 1, {"/root"}, 1, 2, 1, 0},
        {"resume after pause",
         true,
         {Watch1, Pause, Resume},
         State::Watching,
         1,
         {"/root"},
         2,
         1,
         1,
         0},
        {"resume while watching starts again",
         true,
         {Watch1, Resume},
         State::Watching,
         1,
         {"/root"},
         2,
         0,
         1,
         0},
        {"watch while paused changes nothing",
         true,
         {Watch1, Pause, Watch2},
         State::Paused,
         1,
         {"/root"},
         1,
         1,
         1,
         0},
        {"new paths while watching",
         true,
         {Watch1, AssignPaths},
         State::Watching,
         2,
         {"/new"},
         1,
         0,
         1,
         0},
        {"new paths while paused end the pause",
         true,
         {Watch1, Pause, AssignPaths},
         State::Watching,
         2,
         {"/new"},
         1,
         0,
         1,
         0},
        {"absent paths while watching", true, {Watch1, AssignNone}, State::Idle, 1, {}, 0, 0, 0, 0},
        {"absent paths while paused",
         true,
         {Watch1, Pause, AssignNone},
         State::Idle,
         1,
         {},
         0,
         0,
         0,
         0},
        {"paths after absent ones do not restart",
         true,
         {Watch1, AssignNone, AssignPaths},
         State::Idle,
         1,
         {},
         0,
         0,
         0,
         0},
        {"watch after that uses the new callback",
         true,
         {Watch1, AssignNone, AssignPaths, Watch2},
         State::Watching,
         2,
         {"/new"},
         1,
         0,
         0,
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeService service;
        Received received;
        auto watcher = c.madeWithPaths ? std::make_unique<FolderWatcher>(
                                             std::vector<std::string>{"/root"}, service)
                                       : std::make_unique<FolderWatcher>(service);
        for (const Op op : c.ops) {
            apply(*watcher, op, received);
        }
        EXPECT_EQ(watcher->state(), c.state);
        EXPECT_EQ(service.created, c.streamsCreated);
        ASSERT_EQ(service.live.size(), c.livePaths.empty() ? 0u : 1u);
        if (!service.live.empty()) {
            const auto& stream = *service.live.front();
            EXPECT_EQ(watcher->stream(), &stream);
            EXPECT_EQ(stream.paths, c.livePaths);
            EXPECT_EQ(stream.starts, c.starts);
            EXPECT_EQ(stream.stops, c.stops);
            stream.handler({{"/root/a", 0x100, 7}});
        }
        EXPECT_EQ(received.first, c.firstCalls);
        EXPECT_EQ(received.second, c.secondCalls);
        watcher.reset();
        EXPECT_TRUE(service.live.empty()) << "the watcher releases its stream";
    }
}

TEST(FolderWatcherStates, AbsentPathsKeepTheCallback) {
    FakeService service;
    FolderWatcher watcher({"/root"}, service);
    watcher.watch([](const auto&) {});
    watcher.setWatchingPaths(std::nullopt);
    EXPECT_TRUE(static_cast<bool>(watcher.onChangeCallback()));
    EXPECT_FALSE(watcher.watchingPaths().has_value());
}

TEST(FolderWatcherStates, StreamThatCannotBeCreatedLeavesTheWatcherIdle) {
    FakeService service;
    service.failCreation = true;
    FolderWatcher watcher({"/root"}, service);
    int calls = 0;
    watcher.watch([&](const auto&) { ++calls; });
    EXPECT_EQ(watcher.state(), State::Idle);
    watcher.pause();
    watcher.resume();
    EXPECT_EQ(watcher.state(), State::Idle);

    service.failCreation = false;
    watcher.watch([&](const auto&) { calls += 100; });
    ASSERT_EQ(watcher.state(), State::Watching);
    service.live.front()->handler({});
    EXPECT_EQ(calls, 100);
}

TEST(FolderWatcherDelivery, OneCallPerBatchWithTheEventsInOrder) {
    FakeService service;
    FolderWatcher watcher({"/root"}, service);
    std::vector<std::vector<FileEvent>> batches;
    watcher.watch([&](const auto& events) { batches.push_back(events); });
    auto& handler = service.live.front()->handler;

    handler({{"/root/b", 0x10200, 9}, {"/root/a", 0x20100, 3}, {"/root/b", 0x10200, 9}});
    handler({});
    ASSERT_EQ(batches.size(), 2u);
    const std::vector<FileEvent> expected{
        {"/root/b", 0x10200, 9}, {"/root/a", 0x20100, 3}, {"/root/b", 0x10200, 9}};
    EXPECT_EQ(batches[0], expected);
    EXPECT_TRUE(batches[1].empty());
}

TEST(FolderWatcherDelivery, WithoutACallbackBatchesAreDropped) {
    FakeService service;
    FolderWatcher watcher({"/root"}, service);
    watcher.watch(nullptr);
    ASSERT_EQ(watcher.state(), State::Watching);
    service.live.front()->handler({{"/root/a", 0x100, 1}});
}

// The watcher over real inotify, turned by a poll loop.
class FolderWatcherOnDisk : public ::testing::Test {
  protected:
    [[nodiscard]] std::string root() const { return dir_.path().string(); }
    [[nodiscard]] std::string at(const std::string& name) const { return root() + "/" + name; }

    FolderWatcher::Callback recorder() {
        return [this](const std::vector<FileEvent>& events) {
            events_.insert(events_.end(), events.begin(), events.end());
        };
    }
    [[nodiscard]] bool seen(const std::string& path) const {
        return std::any_of(events_.begin(), events_.end(),
                           [&](const FileEvent& e) { return e.eventPath == path; });
    }
    bool waitFor(const std::string& path) {
        return loop_.runUntil([&] { return seen(path); }, std::chrono::seconds(5));
    }
    void touch(const std::string& name) { m2::test::writeFile(at(name), "x"); }

    m2::test::TempDir dir_;
    PollRunLoop loop_;
    InotifyFileEventService service_{&loop_};
    std::vector<FileEvent> events_;
};

TEST_F(FolderWatcherOnDisk, PauseDeliversNothingAndResumeDeliversAgain) {
    FolderWatcher watcher({root()}, service_);
    watcher.resume();  // the cloud observer's order: resume, then watch
    watcher.watch(recorder());
    touch("before");
    ASSERT_TRUE(waitFor(at("before")));

    watcher.pause();
    touch("paused");
    loop_.runOnce(std::chrono::milliseconds(200));
    watcher.resume();
    touch("resumed");
    ASSERT_TRUE(waitFor(at("resumed")));
    EXPECT_FALSE(seen(at("paused")));
}

TEST_F(FolderWatcherOnDisk, DestroyedWithEventsPendingCallsNothing) {
    bool called = false;
    {
        FolderWatcher watcher({root()}, service_);
        watcher.watch([&](const auto&) { called = true; });
        for (int i = 0; i < 50; ++i) {
            touch("f" + std::to_string(i));
        }
    }
    loop_.runOnce(std::chrono::milliseconds(200));
    EXPECT_FALSE(called);
    EXPECT_EQ(loop_.sourceCount(), 0u);
}

TEST_F(FolderWatcherOnDisk, CallbackMayDestroyOrRepointItsWatcher) {
    fs::create_directory(at("other"));
    auto watcher = std::make_unique<FolderWatcher>(std::vector<std::string>{root()}, service_);
    int calls = 0;
    watcher->watch([&](const std::vector<FileEvent>& events) {
        ++calls;
        events_.insert(events_.end(), events.begin(), events.end());
        if (calls == 1) {
            watcher->setWatchingPaths(std::vector<std::string>{at("other")});
        } else {
            watcher.reset();
        }
    });
    touch("first");
    ASSERT_TRUE(waitFor(at("first")));
    touch("other/second");
    ASSERT_TRUE(waitFor(at("other/second")));
    EXPECT_EQ(watcher, nullptr);
    touch("other/third");
    loop_.runOnce(std::chrono::milliseconds(200));
    EXPECT_EQ(calls, 2);
}

}  // namespace
