#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/library/CloudManager.h"
#include "app/library/CloudType.h"
#include "app/services/Settings.h"
#include "support/CloudLibrary.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::CloudType;
using m2::CurrentProcess;
using m2::FileEvent;
using m2::FolderItem;
using m2::Settings;
using m2::test::CloudLibrary;
using m2::test::TempDir;
using m2::test::writeFile;
using Names = std::vector<std::string>;

namespace {

bool contains(const Names& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// A provider folder: a.txt, .DS_Store, Docs/b.txt, Docs/Sub/c.txt, Docs/.hidden/d.txt and
// .git/config.
void makeTree(const fs::path& root) {
    fs::create_directories(root / "Docs/Sub");
    fs::create_directories(root / "Docs/.hidden");
    fs::create_directories(root / ".git");
    writeFile(root / "a.txt", "a");
    writeFile(root / ".DS_Store", "x");
    writeFile(root / "Docs/b.txt", "b");
    writeFile(root / "Docs/Sub/c.txt", "c");
    writeFile(root / "Docs/.hidden/d.txt", "d");
    writeFile(root / ".git/config", "g");
}

const Names kTreeEntries{"Docs/b.txt", "Dropbox/a.txt", "Sub/c.txt", ".hidden/d.txt"};
const Names kTree{"Cloud", "  Dropbox", "    Docs", "      .hidden", "      Sub"};

Names sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

class CloudManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Settings::instance().setMonitorCloudFolders(false);
        makeTree(root_.path());
    }

    [[nodiscard]] std::string root() const { return root_.path().string(); }

    TempDir root_;
    CloudLibrary lib_;
};

// --- change detection -------------------------------------------------------------------

TEST_F(CloudManagerTest, RecordsTheFolderOfEachRelevantChangeOnce) {
    const std::string base = lib_.docs.base().string();
    const struct {
        const char* name;
        Names paths;
        Names recorded;
    } cases[] = {
        {"two files of one folder", {"/p/Docs/a.txt", "/p/Docs/b.txt"}, {"/p/Docs"}},
        {"hidden names and the folder icon", {"/p/Docs/.DS_Store", "/p/Docs/Icon\r"}, {}},
        {"folders in the order seen", {"/p/B/x", "/p/A/y", "/p/B/z"}, {"/p/B", "/p/A"}},
        {"our own catalogue files", {base + "/Morvane.m2l", base + "/Morvane.m2f", base}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lib_.cloud->clearDetectedChanges();
        for (const auto& path : c.paths) {
            lib_.cloud->cloudFolderDidChange(FileEvent(path, 0x100, 1));
        }
        EXPECT_EQ(lib_.cloud->detectedChanges, c.recorded);
    }
}

TEST_F(CloudManagerTest, TheCheckRescansOnlyWhenChangesWaitAndNothingRuns) {
    auto& cloud = *lib_.cloud;
    cloud.startObservers();
    cloud.startObserverTimer();  // a second start replaces the first timer
    EXPECT_EQ(lib_.clock->validTimerCount(), 1U);

    lib_.clock->advance(m2::CloudManager::checkInterval);
    EXPECT_FALSE(cloud.isRefreshing()) << "no changes pending";

    cloud.addDetectedChange(root() + "/a.txt");
    lib_.mainView.state = CurrentProcess::encrypting;
    lib_.clock->advance(m2::CloudManager::checkInterval);
    EXPECT_FALSE(cloud.isRefreshing());
    EXPECT_EQ(cloud.detectedChanges, Names{root()});

    lib_.mainView.state = CurrentProcess::idel;
    lib_.clock->advance(m2::CloudManager::checkInterval);
    EXPECT_TRUE(cloud.isRefreshing());
    EXPECT_EQ(lib_.mainView.state, CurrentProcess::refreshingCloud);
    ASSERT_TRUE(lib_.finishRescan());
    EXPECT_EQ(lib_.mainView.state, CurrentProcess::idel);
    EXPECT_EQ(lib_.mainView.calls, (Names{"show Refreshing Cloud...", "stop", "status"}));

    cloud.addDetectedChange(root() + "/a.txt");
    cloud.stopObservers();
    EXPECT_EQ(lib_.clock->validTimerCount(), 0U);
    EXPECT_TRUE(cloud.detectedChanges.empty());
}

TEST_F(CloudManagerTest, ChangesSeenDuringAScanStartTheNextOne) {
    auto& cloud = *lib_.cloud;
    cloud.addDetectedChange(root() + "/a.txt");
    cloud.refreshCloudFolderAndContents();
    cloud.addDetectedChange(root() + "/Docs/new.txt");
    ASSERT_TRUE(lib_.finishRescan());
    EXPECT_EQ(cloud.detectedChanges, Names{root() + "/Docs"});
}

TEST_F(CloudManagerTest, ObserversFollowTheIncludedProviders) {
    Settings& settings = Settings::instance();
    const struct {
        const char* name;
        bool monitor, dropbox, business;
        std::size_t observers;
        bool observing;
    } cases[] = {
        {"monitoring off", false, true, true, 2, false},
        {"monitoring on, nothing included", true, false, false, 0, false},
        {"monitoring on, one included", true, false, true, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings.setMonitorCloudFolders(c.monitor);
        settings.setDropboxIncluded(c.dropbox);
        settings.setDropboxPath(root());
        settings.setDropboxBusnessIncluded(c.business);
        settings.setDropboxBusinessPath(root() + "/Docs/");
        m2::CloudManager manager(lib_.library);
        EXPECT_EQ(manager.cloudObservers.size(), c.observers);
        EXPECT_EQ(manager.observingCloudFolders(), c.observing);
        for (const auto& observer : manager.cloudObservers) {
            EXPECT_EQ(observer->folderWatcher().state() == m2::FolderWatcher::State::Watching,
                      c.monitor);
            const auto& paths = observer->folderWatcher().watchingPaths();
            ASSERT_TRUE(paths && paths->size() == 1);
            EXPECT_NE(paths->front().back(), '/');
        }
        if (c.observers == 2) {
            manager.removeCloudObserver(CloudType::DropBoxBusiness);
            ASSERT_EQ(manager.cloudObservers.size(), 1U);
            EXPECT_EQ(manager.cloudObservers[0]->cloudType(), CloudType::DropBox);
            manager.removeCloudObserver(CloudType::GoogleDrive);  // none: nothing happens
            EXPECT_EQ(manager.cloudObservers.size(), 1U);
        }
    }
}

// --- providers ----------------------------------------------------------------------------

class AddingAProvider : public CloudManagerTest,
                        public ::testing::WithParamInterface<const char*> {};

// Trailing slashes on the root are stripped, so the rescans that follow add nothing twice.
TEST_P(AddingAProvider, ShowsItsFoldersAndFiles) {
    auto& cloud = *lib_.cloud;
    EXPECT_TRUE(cloud.addCloudProvider(CloudType::DropBox, root() + GetParam()));
    lib_.mainQueue->drain();

    EXPECT_EQ(lib_.cloudTree(), kTree);
    EXPECT_EQ(lib_.entries(), sorted(kTreeEntries));
    const auto provider = lib_.library.folderManager.find(CloudType(CloudType::DropBox).id());
    ASSERT_TRUE(provider);
    EXPECT_EQ(provider->cloudPath, root());
    EXPECT_TRUE(provider->isCloudFolder);
    const auto a = lib_.entryNamed("a.txt");
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->cloudFile);
    EXPECT_EQ(a->filePath, root());
    ASSERT_EQ(cloud.cloudObservers.size(), 1U);
    EXPECT_EQ(cloud.cloudObservers[0]->delegate(), &cloud);
    EXPECT_TRUE(lib_.outline.consistent());
    EXPECT_TRUE(lib_.table.consistent()) << "no row was inserted after the regrouping";
    EXPECT_EQ(lib_.outline.selectedRow(), 0);

    ASSERT_TRUE(lib_.rescan());
    ASSERT_TRUE(lib_.rescan());
    EXPECT_EQ(lib_.cloudTree(), kTree);
    EXPECT_EQ(lib_.entries(), sorted(kTreeEntries));
}

INSTANTIATE_TEST_SUITE_P(RootSpellings, AddingAProvider, ::testing::Values("", "/", "//"));

TEST_F(CloudManagerTest, AProviderThatCannotBeListedStaysEmptyWithoutAnObserver) {
    auto& cloud = *lib_.cloud;
    EXPECT_TRUE(cloud.addCloudProvider(CloudType::GoogleDrive, root() + "/nothing-here"));
    EXPECT_TRUE(cloud.addCloudProvider(CloudType::DropBox, root()));
    EXPECT_EQ(lib_.cloudTree()[1], "  Dropbox");
    EXPECT_EQ(lib_.cloudTree().back(), "  Google Drive");
    ASSERT_EQ(cloud.cloudObservers.size(), 1U);
    EXPECT_EQ(cloud.cloudObservers[0]->cloudType(), CloudType::DropBox);
    EXPECT_EQ(lib_.library.folderManager.folders.size(), 2U) << "one cloud root for both";
}

TEST_F(CloudManagerTest, DirectoryLinkCyclesEndTheWalk) {
    fs::create_symlink(root_.path(), root_.path() / "Docs/Sub/up");
    fs::create_symlink(root_.path() / "Docs", root_.path() / "Docs/Sub/docs-again");
    auto& cloud = *lib_.cloud;
    EXPECT_TRUE(cloud.addCloudProvider(CloudType::DropBox, root()));
    EXPECT_EQ(lib_.cloudTree(), kTree);
    ASSERT_TRUE(lib_.rescan());
    EXPECT_EQ(lib_.cloudTree(), kTree);
    EXPECT_EQ(lib_.entries(), sorted(kTreeEntries));
}

TEST_F(CloudManagerTest, RemovingAProviderChangesTheModelBeforeTheOutline) {
    auto& cloud = *lib_.cloud;
    TempDir other;
    fs::create_directories(other.path() / "Notes");
    writeFile(other.path() / "i.txt", "i");
    writeFile(other.path() / "Notes/n.txt", "n");
    ASSERT_TRUE(cloud.addCloudProvider(CloudType::DropBox, root()));
    ASSERT_TRUE(cloud.addCloudProvider(CloudType::iCloud, other.path().string()));
    lib_.outline.expandItem(lib_.library.folderManager.getCloudRoot().get());
    const Names iCloudTree{"Cloud", "  iCloud", "    Notes"};
    const Names iCloudEntries{"Notes/n.txt", "iCloud/i.txt"};

    EXPECT_TRUE(cloud.removeCloudProvider(CloudType::DropBox));
    EXPECT_EQ(lib_.cloudTree(), iCloudTree);
    EXPECT_EQ(lib_.entries(), iCloudEntries);
    EXPECT_TRUE(lib_.outline.consistent());
    const auto selected = lib_.outline.itemAtRow(lib_.outline.selectedRow());
    EXPECT_EQ(selected, lib_.library.folderManager.getCloudRoot()) << "a real row is selected";
    ASSERT_EQ(cloud.cloudObservers.size(), 1U);
    EXPECT_EQ(cloud.cloudObservers[0]->cloudType(), CloudType::iCloud);

    EXPECT_FALSE(cloud.removeCloudProvider(CloudType::DropBox)) << "no longer in the tree";
    EXPECT_FALSE(cloud.updateCloudProvider(CloudType::GoogleDrive, root()));
    EXPECT_EQ(lib_.cloudTree(), iCloudTree);

    EXPECT_TRUE(cloud.updateCloudProvider(CloudType::iCloud, (other.path() / "Notes").string()));
    EXPECT_EQ(lib_.cloudTree(), (Names{"Cloud", "  iCloud"}));
    EXPECT_EQ(lib_.entries(), (Names{"iCloud/n.txt"}));
    EXPECT_TRUE(lib_.outline.consistent());
    EXPECT_TRUE(lib_.table.consistent());
    EXPECT_TRUE(lib_.alerts->shown().empty());
}

TEST_F(CloudManagerTest, AProviderTheTreeRefusesToDeleteKeepsItsRowAndObserver) {
    // A provider node filed below Home, as a damaged folder-tree file could have it: the
    // tree looks for cloud folders in the cloud subtree only and refuses.
    auto& folders = lib_.library.folderManager;
    auto& cloud = *lib_.cloud;
    ASSERT_TRUE(cloud.addCloudProvider(CloudType::iCloud, root() + "/Docs"));
    auto stray = std::make_shared<FolderItem>("Dropbox", folders.getRoot()->id, "dropbox",
                                              CloudType(CloudType::DropBox).id(), true, root());
    folders.getRoot()->children.insert(folders.getRoot()->children.begin(), stray);
    lib_.outline.reloadData();
    cloud.addCloudObserver(CloudType::DropBox, root());
    lib_.outline.clearLog();

    EXPECT_FALSE(cloud.removeCloudProvider(CloudType::DropBox));
    ASSERT_EQ(lib_.alerts->shown().size(), 1U);
    EXPECT_EQ(lib_.alerts->shown()[0].message, "Could not delete folder");
    for (const auto& call : lib_.outline.log()) {
        EXPECT_EQ(call.rfind("remove", 0), std::string::npos) << call;
    }
    EXPECT_EQ(folders.find(CloudType(CloudType::DropBox).id()), stray);
    EXPECT_EQ(cloud.cloudObservers.size(), 2U);
    EXPECT_TRUE(lib_.outline.consistent());
}

// --- rescan ---------------------------------------------------------------------------------

TEST_F(CloudManagerTest, ARescanBringsTheTreeAndTheLibraryInLineWithTheDisk) {
    auto& cloud = *lib_.cloud;
    ASSERT_TRUE(cloud.addCloudProvider(CloudType::DropBox, root()));
    lib_.mainQueue->drain();
    lib_.table.clearLog();

    writeFile(root_.path() / "Docs/new.txt", "n");
    writeFile(root_.path() / "Docs/.hidden-new", "h");
    fs::create_directories(root_.path() / "Fresh/.git");
    writeFile(root_.path() / "Fresh/f.txt", "f");
    writeFile(root_.path() / "Fresh/.git/HEAD", "f");
    fs::remove_all(root_.path() / "Docs/Sub");
    ASSERT_TRUE(lib_.rescan());

    EXPECT_EQ(lib_.cloudTree(),
              (Names{"Cloud", "  Dropbox", "    Docs", "      .hidden", "    Fresh"}));
    EXPECT_EQ(lib_.entries(), (Names{".hidden/d.txt", "Docs/b.txt", "Docs/new.txt", "Dropbox/a.txt",
                                     "Fresh/f.txt"}));
    EXPECT_TRUE(lib_.outline.consistent());
    EXPECT_EQ(lib_.mainView.state, CurrentProcess::idel);
    EXPECT_TRUE(lib_.table.log().empty()) << "nothing shown was removed";
    EXPECT_TRUE(lib_.table.consistent());
    const auto saved = m2::test::readFile(lib_.docs.base() / "Morvane.m2l");
    EXPECT_NE(saved.find("new.txt"), std::string::npos);
    EXPECT_NE(m2::test::readFile(lib_.docs.base() / "Morvane.m2f").find("Fresh"),
              std::string::npos);
}

TEST_F(CloudManagerTest, ARescanThatChangedNothingWritesNothing) {
    ASSERT_TRUE(lib_.cloud->addCloudProvider(CloudType::DropBox, root()));
    lib_.mainQueue->drain();
    const auto identity = [&](const char* name) {
        struct stat info {};
        EXPECT_EQ(::stat((lib_.docs.base() / name).c_str(), &info), 0) << name;
        return std::make_pair(info.st_ino,
                              info.st_mtim.tv_nsec + info.st_mtim.tv_sec * 1000000000L);
    };
    const auto library = identity("Morvane.m2l");
    const auto tree = identity("Morvane.m2f");
    ASSERT_TRUE(lib_.rescan());
    EXPECT_EQ(identity("Morvane.m2l"), library);
    EXPECT_EQ(identity("Morvane.m2f"), tree);

    writeFile(root_.path() / "Docs/new.txt", "n");
    ASSERT_TRUE(lib_.rescan());
    EXPECT_NE(identity("Morvane.m2l"), library);
}

TEST_F(CloudManagerTest, TheSweepRemovesMissingFilesFromEveryListAndTheyComeBack) {
    auto& files = lib_.library.fileManager;
    auto& cloud = *lib_.cloud;
    ASSERT_TRUE(cloud.addCloudProvider(CloudType::DropBox, root()));
    TempDir other;
    writeFile(other.path() / "plain.txt", "p");
    files.addFilesByUrl({(other.path() / "plain.txt").string()}, false,
                        m2::FolderManager::document);
    lib_.mainQueue->drain();
    const auto docs = lib_.library.folderManager.find(root() + "/Docs");
    ASSERT_TRUE(docs);
    files.sortIntoFolders();
    files.setView(m2::CloudType(CloudType::CloudRoot).id());
    files.filter("b");
    lib_.table.reloadData();
    ASSERT_EQ(files.filtered.size(), 1U);
    lib_.table.clearLog();

    fs::remove(other.path() / "plain.txt");
    fs::remove(root_.path() / "Docs/b.txt");
    ASSERT_TRUE(lib_.rescan());
    using List = const std::vector<m2::FileItemPtr>*;
    for (const List list :
         std::initializer_list<List>{&files.library.items(), &files.currentView(), &files.filtered,
                                     &files.libraryFolder[docs->id]}) {
        for (const auto& entry : *list) {
            EXPECT_NE(entry->fileName, "b.txt");
            EXPECT_NE(entry->fileName, "plain.txt");
        }
    }
    EXPECT_EQ(lib_.table.log(), Names{"reloadData"});
    EXPECT_TRUE(lib_.table.consistent());

    writeFile(root_.path() / "Docs/b.txt", "back");
    ASSERT_TRUE(lib_.rescan());
    EXPECT_TRUE(contains(lib_.entries(), "Docs/b.txt"));
}

TEST_F(CloudManagerTest, AProviderRootMissingForAMomentLosesNothing) {
    auto& cloud = *lib_.cloud;
    ASSERT_TRUE(cloud.addCloudProvider(CloudType::DropBox, root()));
    lib_.entryNamed("b.txt")->favorite = true;
    const Names tree = lib_.cloudTree();
    const Names entries = lib_.entries();

    const fs::path away = root_.path().string() + "-away";
    fs::rename(root_.path(), away);
    ASSERT_TRUE(lib_.rescan());
    EXPECT_EQ(lib_.cloudTree(), tree);
    EXPECT_EQ(lib_.entries(), entries);

    fs::rename(away, root_.path());
    ASSERT_TRUE(lib_.rescan());
    EXPECT_EQ(lib_.cloudTree(), tree);
    EXPECT_EQ(lib_.entries(), entries) << "nothing added twice";
    EXPECT_TRUE(lib_.entryNamed("b.txt")->favorite);
}

TEST_F(CloudManagerTest, ARescanWithoutCloudFoldersStillSweepsAndSaves) {
    auto& files = lib_.library.fileManager;
    TempDir other;
    writeFile(other.path() / "keep.txt", "k");
    writeFile(other.path() / "gone.txt", "g");
    files.addFilesByUrl(
        {(other.path() / "keep.txt").string(), (other.path() / "gone.txt").string()}, false,
        m2::FolderManager::document);
    lib_.mainQueue->drain();
    fs::remove(other.path() / "gone.txt");
    ASSERT_TRUE(lib_.rescan());
    EXPECT_EQ(lib_.entries(), Names{"Documents/keep.txt"});
    EXPECT_EQ(lib_.mainView.state, CurrentProcess::idel);
    const auto saved = m2::test::readFile(lib_.docs.base() / "Morvane.m2l");
    EXPECT_EQ(saved.find("gone.txt"), std::string::npos);
}

TEST_F(CloudManagerTest, WhatChangedDuringTheScanIsNotAppliedTwiceOrToGoneFolders) {
    auto& cloud = *lib_.cloud;
    ASSERT_TRUE(cloud.addCloudProvider(CloudType::DropBox, root()));
    ASSERT_TRUE(cloud.addCloudProvider(CloudType::iCloud, root() + "/Docs"));
    writeFile(root_.path() / "Docs/new.txt", "n");
    fs::create_directories(root_.path() / "Docs/Fresh");

    // Removed while the scan runs: its planned folder and files have nowhere to go.
    cloud.refreshCloudFolderAndContents();
    EXPECT_TRUE(cloud.removeCloudProvider(CloudType::iCloud));
    ASSERT_TRUE(lib_.finishRescan());
    EXPECT_EQ(lib_.cloudTree(), (Names{"Cloud", "  Dropbox", "    Docs", "      .hidden",
                                       "      Fresh", "      Sub"}));
    EXPECT_EQ(lib_.entries(),
              (Names{".hidden/d.txt", "Docs/b.txt", "Docs/new.txt", "Dropbox/a.txt", "Sub/c.txt"}));
    EXPECT_TRUE(lib_.outline.consistent());
}

}  // namespace
