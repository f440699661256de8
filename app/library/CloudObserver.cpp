#include "app/library/CloudObserver.h"

#include <vector>

namespace m2 {

CloudObserver::CloudObserver(CloudType cloudType, const std::string& cloudPath,
                             platform::FileEventService& service)
    : folderWatcher_(std::make_unique<FolderWatcher>(std::vector<std::string>{cloudPath}, service)),
      cloudType_(cloudType) {}

void CloudObserver::watch() {
    folderWatcher_->resume();
    folderWatcher_->watch([this](const std::vector<FileEvent>& events) {
        for (const auto& event : events) {
            if (delegate_ != nullptr) {
                delegate_->cloudFolderDidChange(event);
            }
        }
    });
}

void CloudObserver::pause() {
    folderWatcher_->pause();
}

void CloudObserver::resume() {
    folderWatcher_->resume();
}

}  // namespace m2
