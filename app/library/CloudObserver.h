#pragma once

#include <memory>
#include <string>

#include "app/library/CloudType.h"
#include "app/library/FileEvent.h"
#include "app/library/FolderWatcher.h"
#include "platform/FileEvents.h"

namespace m2 {

// Receives every file-system change seen below a cloud provider's folder.
class CloudDelegate {
  public:
    virtual ~CloudDelegate() = default;
    virtual void cloudFolderDidChange(const FileEvent& event) = 0;
};

// Watches one provider's root folder and hands each change to its delegate. Main thread
// only; destroying it ends the watching, and no change is delivered afterwards.
class CloudObserver {
  public:
    // Nothing is watched until watch().
    CloudObserver(CloudType cloudType, const std::string& cloudPath,
                  platform::FileEventService& service = platform::FileEventService::shared());
    CloudObserver(const CloudObserver&) = delete;
    CloudObserver& operator=(const CloudObserver&) = delete;

    [[nodiscard]] FolderWatcher& folderWatcher() { return *folderWatcher_; }
    [[nodiscard]] const FolderWatcher& folderWatcher() const { return *folderWatcher_; }
    [[nodiscard]] CloudType cloudType() const { return cloudType_; }
    void setCloudType(CloudType type) { cloudType_ = type; }
    // Not owned: the delegate owns its observers.
    [[nodiscard]] CloudDelegate* delegate() const { return delegate_; }
    void setDelegate(CloudDelegate* delegate) { delegate_ = delegate; }

    // Starts watching, or resumes a paused watch; a running watch keeps its stream, so each
    // change still arrives once.
    void watch();
    void pause();
    void resume();

  private:
    std::unique_ptr<FolderWatcher> folderWatcher_;
    CloudType cloudType_;
    CloudDelegate* delegate_ = nullptr;
};

}  // namespace m2
