// The program's library read on a worker while the login window waits. One test only: the
// library is the process's own and is read once.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "app/library/FolderManager.h"
#include "app/library/LibraryManager.h"
#include "platform/Dispatch.h"
#include "support/ScopedDocuments.h"
#include "support/TestFiles.h"

using m2::LibraryManager;
using m2::platform::Dispatch::isMainThread;

// Asked for on the main thread while the worker reads, the library comes whole; what waited
// for the read runs once, on the main thread, and a second preload reads nothing again.
TEST(CataloguePreload, TheMainThreadGetsTheWholeCatalogueReadOnAWorker) {
    m2::test::ScopedDocuments docs;
    m2::platform::ScopedManualMainQueue mainQueue;
    const std::filesystem::path files = docs.documents() / "files";
    std::filesystem::create_directories(files);
    {
        LibraryManager seed;
        seed.folderManager.initItems();
        for (int i = 0; i < 2000; ++i) {
            m2::test::writeFile(files / ("f" + std::to_string(i) + ".txt"), "x");
        }
        seed.fileManager.addFilesByUrl({files.string()}, true, m2::FolderManager::document);
        ASSERT_EQ(seed.fileManager.library.size(), 2000U);
        seed.save();
    }

    int before = 0;
    LibraryManager::whenLoaded([&before] { ++before; });
    EXPECT_EQ(before, 1);  // nothing is being read: at once

    LibraryManager::preload(
        m2::platform::Dispatch::global(m2::platform::QualityOfService::userInitiated));
    int ready = 0;
    bool onMainThread = false;
    LibraryManager::whenLoaded([&] {
        ++ready;
        onMainThread = isMainThread();
    });
    LibraryManager& library = LibraryManager::instance();  // waits for the worker
    EXPECT_EQ(library.fileManager.library.size(), 2000U);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ready == 0 && std::chrono::steady_clock::now() < deadline) {
        (void)mainQueue->drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    (void)mainQueue->drain();
    EXPECT_EQ(ready, 1);
    EXPECT_TRUE(onMainThread);

    std::filesystem::remove_all(docs.base());
    LibraryManager::preload(
        m2::platform::Dispatch::global(m2::platform::QualityOfService::userInitiated));
    EXPECT_EQ(&LibraryManager::instance(), &library);
    EXPECT_EQ(library.fileManager.library.size(), 2000U);
}
