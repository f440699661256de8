#include "app/library/FolderWatcher.h"

#include <utility>

namespace m2 {

FolderWatcher::FolderWatcher(platform::FileEventService& service) : service_(service) {}

FolderWatcher::FolderWatcher(std::vector<std::string> paths, platform::FileEventService& service)
    : service_(service), watchingPaths_(std::move(paths)) {}

FolderWatcher::~FolderWatcher() = default;

FolderWatcher::State FolderWatcher::state() const {
    if (!stream_) {
        return State::Idle;
    }
    return running_ ? State::Watching : State::Paused;
}

void FolderWatcher::watch(Callback callback) {
    if (!watchingPaths_ || stream_) {
        return;
    }
    onChangeCallback_ = std::move(callback);
    // The service says why when it cannot make a stream; the watcher then stays idle.
    stream_ = service_.createStream(
        *watchingPaths_,
        [this](std::vector<platform::FileEventRecord> batch) { deliver(std::move(batch)); });
    if (stream_) {
        running_ = stream_->start();
    }
}

void FolderWatcher::pause() {
    if (stream_) {
        stream_->stop();
        running_ = false;
    }
}

void FolderWatcher::resume() {
    if (stream_) {
        running_ = stream_->start();
    }
}

void FolderWatcher::setWatchingPaths(std::optional<std::vector<std::string>> paths) {
    watchingPaths_ = std::move(paths);
    if (!stream_) {
        return;
    }
    stream_.reset();
    running_ = false;
    // A copy, as watch() stores the callback it is given.
    watch(Callback(onChangeCallback_));
}

void FolderWatcher::deliver(std::vector<platform::FileEventRecord> batch) {
    std::vector<FileEvent> events;
    events.reserve(batch.size());
    for (auto& record : batch) {
        events.emplace_back(std::move(record.path), record.flags, record.id);
    }
    if (onChangeCallback_) {
        // Through a copy: the callback may destroy or re-point this watcher.
        const Callback callback = onChangeCallback_;
        callback(events);
    }
}

}  // namespace m2
