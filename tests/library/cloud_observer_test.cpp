#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/library/CloudObserver.h"
#include "platform/FileEvents.h"

using m2::CloudDelegate;
using m2::CloudObserver;
using m2::CloudType;
using m2::FileEvent;
using m2::FolderWatcher;
using namespace m2::platform;

namespace {

// One stream at a time, which the test feeds by hand.
class HandFedService final : public FileEventService {
  public:
    struct Stream final : FileEventStream {
        explicit Stream(HandFedService& owner) : owner(owner) {}
        ~Stream() override { owner.stream = nullptr; }
        bool start() override {
            ++starts;
            return true;
        }
        void stop() override { ++stops; }
        HandFedService& owner;
        FileEventBatchHandler handler;
        int starts = 0, stops = 0;
    };

    std::unique_ptr<FileEventStream> createStream(const std::vector<std::string>& watched,
                                                  FileEventBatchHandler handler) override {
        ++created;
        paths = watched;
        auto made = std::make_unique<Stream>(*this);
        made->handler = std::move(handler);
        stream = made.get();
        return made;
    }

    Stream* stream = nullptr;
    std::vector<std::string> paths;
    int created = 0;
};

struct RecordingDelegate final : CloudDelegate {
    void cloudFolderDidChange(const FileEvent& event) override { events.push_back(event); }
    std::vector<FileEvent> events;
};

TEST(CloudObserver, HandsEveryChangeToItsDelegateOnce) {
    HandFedService service;
    RecordingDelegate delegate;
    CloudObserver observer(CloudType::iCloud, "/cloud/root", service);
    EXPECT_EQ(observer.cloudType(), CloudType::iCloud);
    EXPECT_EQ(service.created, 0) << "nothing is watched before watch()";

    observer.setDelegate(&delegate);
    observer.watch();
    observer.watch();  // at login again: the running stream stays
    ASSERT_NE(service.stream, nullptr);
    EXPECT_EQ(service.created, 1);
    EXPECT_EQ(service.paths, std::vector<std::string>{"/cloud/root"});

    service.stream->handler({{"/cloud/root/a", 0x10100, 7}, {"/cloud/root/b", 0x10200, 8}});
    EXPECT_EQ(delegate.events, (std::vector<FileEvent>{{"/cloud/root/a", 0x10100, 7},
                                                       {"/cloud/root/b", 0x10200, 8}}));

    observer.pause();
    EXPECT_EQ(observer.folderWatcher().state(), FolderWatcher::State::Paused);
    observer.watch();
    EXPECT_EQ(observer.folderWatcher().state(), FolderWatcher::State::Watching);
    EXPECT_EQ(service.created, 1);
}

TEST(CloudObserver, WithoutADelegateOrAfterItIsGoneNothingIsDelivered) {
    HandFedService service;
    RecordingDelegate delegate;
    auto observer = std::make_unique<CloudObserver>(CloudType::DropBox, "/cloud", service);
    observer->watch();
    ASSERT_NE(service.stream, nullptr);
    service.stream->handler({{"/cloud/a", 0x100, 1}});  // dropped: no delegate yet
    observer->setDelegate(&delegate);
    EXPECT_TRUE(delegate.events.empty());

    observer.reset();
    EXPECT_EQ(service.stream, nullptr) << "the stream is released with its observer";
}

}  // namespace
