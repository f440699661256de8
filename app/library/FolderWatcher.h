#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/library/FileEvent.h"
#include "platform/FileEvents.h"

namespace m2 {

// Follows changes below a list of folders and hands every delivered batch to one callback.
// Idle without a stream; Watching while its stream runs; Paused while it is stopped. Only
// assigning the paths takes it back to Idle. Used on the main thread only.
class FolderWatcher {
  public:
    using Callback = std::function<void(const std::vector<FileEvent>&)>;
    enum class State { Idle, Watching, Paused };

    explicit FolderWatcher(
        platform::FileEventService& service = platform::FileEventService::shared());
    // The paths are stored; nothing is watched until watch().
    explicit FolderWatcher(
        std::vector<std::string> paths,
        platform::FileEventService& service = platform::FileEventService::shared());
    // Releases the stream; the callback is not called afterwards.
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // Starts watching when there are paths and no stream; otherwise does nothing at all, and
    // `callback` is not stored. An empty callback drops every batch.
    void watch(Callback callback);
    void pause();
    void resume();

    [[nodiscard]] const std::optional<std::vector<std::string>>& watchingPaths() const {
        return watchingPaths_;
    }
    // Stores the paths, then replaces a running or paused stream with one over them (none
    // when the paths are absent, which ends watching).
    void setWatchingPaths(std::optional<std::vector<std::string>> paths);

    [[nodiscard]] const Callback& onChangeCallback() const { return onChangeCallback_; }
    void setOnChangeCallback(Callback callback) { onChangeCallback_ = std::move(callback); }
    [[nodiscard]] platform::FileEventStream* stream() const { return stream_.get(); }
    [[nodiscard]] State state() const;

  private:
    void deliver(std::vector<platform::FileEventRecord> batch);

    platform::FileEventService& service_;
    std::unique_ptr<platform::FileEventStream> stream_;
    bool running_ = false;
    Callback onChangeCallback_;
    std::optional<std::vector<std::string>> watchingPaths_;
};

}  // namespace m2
