#include "support/CloudLibrary.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

namespace m2::test {

CloudLibrary::CloudLibrary()
    : clock(std::make_shared<platform::ManualTimerScheduler>()),
      previousClock_(platform::TimerScheduler::installMain(clock)) {
    outline.setDataSource(&outlineSource);
    table.setDataSource(&tableSource);
    library.setupViews(&outline, &table);
    outline.reloadData();
    cloud = std::make_unique<CloudManager>(library);
    cloud->parentView = &mainView;
}

CloudLibrary::~CloudLibrary() {
    // No scan may still be on its way to the main queue when the test's queue goes.
    (void)finishRescan();
    cloud.reset();
    platform::TimerScheduler::installMain(previousClock_);
}

bool CloudLibrary::finishRescan() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        mainQueue->drain();
        if (!cloud || !cloud->isRefreshing()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool CloudLibrary::rescan() {
    cloud->refreshCloudFolderAndContents();
    return finishRescan();
}

std::vector<std::string> CloudLibrary::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : library.fileManager.library) {
        const FolderItemPtr folder = library.folderManager.find(entry->folder);
        names.push_back((folder ? folder->label : std::string("?")) + "/" + entry->fileName);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> CloudLibrary::cloudTree() const {
    std::vector<std::string> rows;
    const std::function<void(const FolderItem&, std::size_t)> visit = [&](const FolderItem& node,
                                                                          std::size_t depth) {
        rows.push_back(std::string(depth * 2, ' ') + node.label);
        std::vector<FolderItemPtr> children = node.children;
        std::sort(children.begin(), children.end(),
                  [](const auto& a, const auto& b) { return a->label < b->label; });
        for (const auto& child : children) {
            visit(*child, depth + 1);
        }
    };
    if (const FolderItemPtr root = library.folderManager.getCloudRoot()) {
        visit(*root, 0);
    }
    return rows;
}

FileItemPtr CloudLibrary::entryNamed(const std::string& name) const {
    for (const auto& entry : library.fileManager.library) {
        if (entry->fileName == name) {
            return entry;
        }
    }
    return nullptr;
}

}  // namespace m2::test
