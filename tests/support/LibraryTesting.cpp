#include "support/LibraryTesting.h"

#include <chrono>
#include <thread>

#include "app/library/FolderManager.h"

namespace m2::test {

std::vector<std::string> namesOf(const std::vector<FileItemPtr>& list) {
    std::vector<std::string> names;
    names.reserve(list.size());
    for (const auto& item : list) {
        names.push_back(item->fileName);
    }
    return names;
}

std::size_t waitForMainQueueWork(platform::ManualMainQueue& queue) {
    for (int i = 0; i < 2000 && queue.pending() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return queue.pending();
}

FolderItemPtr addDocumentsFolder(LibraryManager& seed, const std::string& name) {
    const auto documents = seed.folderManager.find(FolderManager::document);
    auto folder = std::make_shared<FolderItem>(name, documents->id, "folder-16");
    (void)seed.folderManager.addFolder(*documents, folder);
    return folder;
}

}  // namespace m2::test
