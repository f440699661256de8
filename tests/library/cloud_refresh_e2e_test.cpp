#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/library/CloudManager.h"
#include "app/services/Settings.h"
#include "platform/RunLoop.h"
#include "support/CloudLibrary.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::CloudType;
using m2::test::CloudLibrary;
using m2::test::writeFile;
using namespace std::chrono_literals;
using Names = std::vector<std::string>;

namespace {

// Real inotify streams on a poll loop the test turns, and the 15-second check on a
// hand-driven clock.
class CloudRefreshE2E : public ::testing::Test {
  protected:
    CloudRefreshE2E() : previousLoop_(m2::platform::RunLoop::installMain(loop_)) {}
    ~CloudRefreshE2E() override {
        lib_.reset();
        m2::platform::RunLoop::installMain(previousLoop_);
    }

    // Turns the loop until the changes seen so far include `folder`.
    bool seen(const std::string& folder) {
        const auto& changes = lib_->cloud->detectedChanges;
        return loop_->runUntil(
            [&] { return std::find(changes.begin(), changes.end(), folder) != changes.end(); }, 5s);
    }

    std::shared_ptr<m2::platform::PollRunLoop> loop_ =
        std::make_shared<m2::platform::PollRunLoop>();
    std::shared_ptr<m2::platform::RunLoop> previousLoop_;
    std::unique_ptr<CloudLibrary> lib_ = std::make_unique<CloudLibrary>();
};

TEST_F(CloudRefreshE2E, AFileCreatedInAProviderFolderJoinsTheLibraryAfterTheCheck) {
    m2::test::TempDir root;
    fs::create_directories(root.path() / "Docs");
    m2::Settings::instance().setMonitorCloudFolders(true);
    auto& cloud = *lib_->cloud;
    ASSERT_TRUE(cloud.addCloudProvider(CloudType::DropBox, root.path().string()));
    cloud.startObservers();

    writeFile(root.path() / "Docs/new.txt", "new");
    ASSERT_TRUE(seen((root.path() / "Docs").string()));
    EXPECT_EQ(lib_->entryNamed("new.txt"), nullptr) << "not before the check";

    lib_->clock->advance(m2::CloudManager::checkInterval);
    ASSERT_TRUE(cloud.isRefreshing());
    ASSERT_TRUE(lib_->finishRescan());
    const auto entry = lib_->entryNamed("new.txt");
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->cloudFile);
    EXPECT_EQ(entry->filePath, (root.path() / "Docs").string());
    EXPECT_EQ(lib_->mainView.state, m2::CurrentProcess::idel);

    cloud.stopObservers();
    writeFile(root.path() / "Docs/later.txt", "later");
    loop_->runOnce(200ms);
    EXPECT_TRUE(cloud.detectedChanges.empty()) << "paused observers report nothing";
}

TEST_F(CloudRefreshE2E, CatalogueSavesUnderAWatchedFolderTriggerNothing) {
    // The provider folder holds the Documents folder, and so our own catalogue files.
    const fs::path root = lib_->docs.documents();
    m2::Settings::instance().setMonitorCloudFolders(true);
    auto& cloud = *lib_->cloud;
    ASSERT_TRUE(cloud.addCloudProvider(CloudType::GoogleDrive, root.string()));
    cloud.startObservers();

    for (int i = 0; i < 3; ++i) {
        lib_->library.save();
        m2::Settings::instance().setMonitorCloudFolders(true);
        loop_->runOnce(50ms);
    }
    loop_->runOnce(200ms);
    EXPECT_EQ(cloud.detectedChanges, Names{});

    writeFile(root / "real.txt", "r");
    EXPECT_TRUE(seen(root.string()));
}

}  // namespace
