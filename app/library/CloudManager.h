#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/library/CloudObserver.h"
#include "app/library/CloudScan.h"
#include "app/library/CloudType.h"
#include "app/library/FileEvent.h"
#include "app/library/FolderItem.h"
#include "app/library/LibraryManager.h"
#include "app/library/MainViewServices.h"
#include "platform/Timer.h"

namespace m2 {

// Shows the folder of every included cloud provider as a subtree of the library: a "Cloud"
// root, a node per provider and per sub-folder, and a library entry per file. It watches
// the provider folders and, every 15 seconds while changes are pending and nothing else
// runs, rescans them in the background. Main thread only; the rescan reads the disk on a
// background queue and changes the models in one main-queue step.
class CloudManager final : public CloudDelegate {
  public:
    inline static constexpr std::chrono::milliseconds checkInterval{15000};

    // Makes an observer for every included provider (watching when monitoring is on).
    explicit CloudManager(LibraryManager& libraryManager);
    ~CloudManager() override;
    CloudManager(const CloudManager&) = delete;
    CloudManager& operator=(const CloudManager&) = delete;

    LibraryManager& libraryManager;
    std::vector<std::unique_ptr<CloudObserver>> cloudObservers;
    // Folders in which changes were seen and not yet rescanned; no repeats.
    std::vector<std::string> detectedChanges;
    // The running 15-second check; none while stopped.
    std::unique_ptr<platform::Timer> actionNewCloudItemsTimer;
    // The main view: its process state and progress panel. Not owned; set right after
    // construction.
    MainViewServices* parentView = nullptr;

    // Adds the provider's node, its folders and files, and its observer; saves. Always true.
    bool addCloudProvider(CloudType type, const std::string& rootPath);
    // Replaces the provider's subtree with one read from `rootPath`; false, adding nothing,
    // when the provider is not in the tree or cannot be removed.
    bool updateCloudProvider(CloudType type, const std::string& rootPath);
    // Removes the provider's node, its subtree and their entries, and drops its observer;
    // false when it is not in the tree or the tree refuses (after an alert).
    bool removeCloudProvider(CloudType type);
    // Starts a rescan of every provider folder and returns at once; nothing when one runs.
    void refreshCloudFolderAndContents();
    // Adds a node for the folder at `path` under `parent`, and everything below it.
    void addCloudFolderAndContents(FolderItem& parent, const std::string& path,
                                   const std::string& folderName);
    // A rescan is between its start and its final main-queue step.
    [[nodiscard]] bool isRefreshing() const { return refreshing_; }

    // Change detection.
    void addDetectedChange(const std::string& path);
    void clearDetectedChanges();
    // Replaces a running check with a new one.
    void startObserverTimer();
    void stopObserverTimer();
    // The check: rescans when changes are pending and no process runs.
    void actionDetectedChanges();
    void removeCloudObserver(CloudType type);
    void addCloudObserver(CloudType type, const std::string& cloudPath);
    void initObservers();
    [[nodiscard]] bool observingCloudFolders() const;
    void startObservers();
    void stopObservers();
    void cloudFolderDidChange(const FileEvent& event) override;

  private:
    struct DirId;
    // The folder's device and inode; none when there is no folder at the path.
    [[nodiscard]] static std::optional<DirId> directoryId(const std::string& path);
    void addFolderTree(FolderItem& parent, const std::string& path, const std::string& name,
                       std::vector<DirId>& chain);
    void addRootFile(const FolderItem& provider, const std::string& path);
    [[nodiscard]] CloudSnapshot takeSnapshot() const;
    void apply(const CloudPlan& plan);
    // Shows the folder of the outline's selected row again, after the shown list was
    // emptied by regrouping.
    void showSelectedFolder();
    [[nodiscard]] CurrentProcess currentState() const;

    bool refreshing_ = false;
    // Work posted to the main queue checks this before touching the manager.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace m2
