#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/library/FileReader.h"
#include "app/library/FolderReader.h"
#include "app/library/LibraryManager.h"
#include "app/library/MainViewServices.h"
#include "platform/Dispatch.h"
#include "support/FolderTreeHarness.h"
#include "support/LibraryTesting.h"
#include "support/MemoryOutlineView.h"
#include "support/MemoryTableView.h"
#include "support/RecordingWorkspace.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::FileItem;
using m2::FileItemPtr;
using m2::FolderItem;
using m2::FolderItemPtr;
using m2::FolderManager;
using m2::LibraryManager;
using m2::test::namesOf;
using Names = std::vector<std::string>;

namespace {

// The folder outline's selection handler of the main view: the selected folder becomes
// current and is shown.
class SelectingSource final : public m2::FolderOutlineSource {
  public:
    SelectingSource(LibraryManager& library, m2::platform::TableView& table)
        : FolderOutlineSource(library.folderManager), library_(library), table_(table) {}
    void selectionDidChange() override {
        if (const FolderItemPtr folder = library_.folderManager.getSelectedFolder(true)) {
            library_.folderManager.setCurrent(folder);
            library_.fileManager.setView(folder->id);
            table_.reloadData();
        }
    }

  private:
    LibraryManager& library_;
    m2::platform::TableView& table_;
};

// The library with its outline and table in memory, over a scratch Documents folder, with
// the default tree plus   Home/Work/Sub/Deep   and   Home/Play   and entries filed under them.
class Library : public testing::Test, protected m2::test::LibraryHarness {
  protected:
    m2::test::ScopedRecordingWorkspace workspace;
    m2::test::TempDir dir;
    LibraryManager library;
    m2::test::MemoryOutlineView outline;
    m2::test::MemoryTableView table;
    SelectingSource folderSource{library, table};
    m2::LibraryTableSource tableSource{library.fileManager};
    FolderItemPtr work, sub, deep, play;

    void SetUp() override {
        outline.setDataSource(&folderSource);
        table.setDataSource(&tableSource);
        library.setupViews(&outline, &table);
        work = addFolder("Work", home());
        sub = addFolder("Sub", work);
        deep = addFolder("Deep", sub);
        play = addFolder("Play", home());
        outline.reloadData();
        library.folderManager.resumeState();
        for (const auto& folder : {work, sub, deep}) {
            outline.expandItem(folder.get());
        }
        fill({file("w1", work), file("s1", sub), file("d1", deep), file("p1", play),
              file("w2", work)});
        select(home());
    }

    FolderItemPtr home() const { return library.folderManager.getRoot(); }
    FolderItemPtr special(std::size_t i) const { return home()->children.at(i); }
    FolderItemPtr addFolder(const std::string& label, const FolderItemPtr& parent) {
        return m2::test::addFolderUnder(library.folderManager, parent, label);
    }
    // An entry for a real file in the scratch folder.
    FileItemPtr file(const std::string& name, const FolderItemPtr& folder, bool cloud = false) {
        m2::test::writeFile(dir / name, name);
        return std::make_shared<FileItem>("file://" + (dir / name).string(), name, folder->id,
                                          false, false, dir.path().string(), cloud);
    }
    void fill(std::vector<FileItemPtr> items) {
        library.fileManager.library = std::move(items);
        library.fileManager.sortIntoFolders();
    }
    void select(const FolderItemPtr& folder) {
        outline.clickRow(library.folderManager.currentIndexOf(*folder, true));
        ASSERT_EQ(library.folderManager.current, folder);
    }
    Names shown() const { return table.columnTexts("fileName"); }
    fs::path libraryFile() const { return docs.base() / "Morvane.m2l"; }
    fs::path treeFile() const { return docs.base() / "Morvane.m2f"; }
    void removeCatalogueFiles() const {
        fs::remove(libraryFile());
        fs::remove(treeFile());
    }
    std::vector<std::string> alertMessages() const {
        std::vector<std::string> messages;
        for (const auto& shown : alerts->shown()) {
            messages.push_back(shown.message);
        }
        return messages;
    }
};

TEST_F(Library, DeletingAFolderIsRefusedOrConfirmed) {
    outline.clickRow(-1);
    library.deleteLibraryFolder();  // nothing selected: nothing said
    EXPECT_TRUE(alerts->shown().empty());

    for (const auto& fixed : {home(), special(0), special(1)}) {
        select(fixed);
        library.deleteLibraryFolder();
        EXPECT_EQ(alerts->shown().back().message, "You can not delete this folder");
    }
    select(work);
    alerts->queueAnswer(1);  // "No"
    library.deleteLibraryFolder();
    const auto asked = alerts->shown().back();
    EXPECT_EQ(asked.message, "Are you sure you would like to delete the selected folder?");
    EXPECT_EQ(asked.informativeText,
              "All sub-folders and associated files will also be deleted from your library");
    EXPECT_EQ(asked.buttons, (std::vector<std::string>{"Yes", "No"}));
    EXPECT_EQ(library.folderManager.find(work->id), work);
    EXPECT_EQ(library.fileManager.library.size(), 5u);
    EXPECT_FALSE(fs::exists(libraryFile()));
}

TEST_F(Library, DeletingAFolderTakesItsSubFoldersAndTheirEntriesButNoFile) {
    select(work);
    const int row = outline.selectedRow();
    alerts->queueAnswer(0);  // "Yes"
    library.deleteLibraryFolder();
    for (const auto& gone : {work, sub, deep}) {
        EXPECT_EQ(library.folderManager.find(gone->id), nullptr) << gone->label;
    }
    EXPECT_EQ(library.folderManager.find(play->id), play);
    EXPECT_EQ(namesOf(library.fileManager.library), Names{"p1"});
    EXPECT_TRUE(outline.consistent());
    EXPECT_EQ(outline.selectedRow(), row - 1);
    EXPECT_TRUE(table.consistent());
    for (const auto* name : {"w1", "s1", "d1", "w2"}) {
        EXPECT_TRUE(fs::exists(dir / name)) << name;
    }
    const auto saved = m2::FileReader::load();
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(namesOf(*saved), Names{"p1"});
    const auto tree = m2::FolderReader::load();
    ASSERT_TRUE(tree.has_value());
    std::vector<FolderItemPtr> all;
    library.folderManager.getAllChildren(*tree->front(), all);
    for (const auto& folder : all) {
        EXPECT_NE(folder->label, "Sub");
    }
}

TEST_F(Library, DeleteGivenFilesSkipsUnknownEntriesAndSaves) {
    select(work);
    const FileItemPtr stranger = file("x", work);
    library.deleteFiles({library.fileManager.library[0], stranger});
    EXPECT_EQ(namesOf(library.fileManager.library), (Names{"s1", "d1", "p1", "w2"}));
    EXPECT_EQ(shown(), Names{"w2"});
    EXPECT_TRUE(table.consistent());
    EXPECT_TRUE(fs::exists(libraryFile()));
    EXPECT_TRUE(fs::exists(dir / "w1"));
}

TEST_F(Library, DeleteGivenFilesRemovesEachRowWhereItStandsAtItsTurn) {
    const auto& all = library.fileManager.library;
    ASSERT_EQ(shown(), (Names{"w1", "s1", "d1", "p1", "w2"}));
    table.clearLog();
    library.deleteFiles({all[4], all[0], all[2]});  // w2, w1, d1
    EXPECT_EQ(table.log(), (std::vector<std::string>{"remove 4", "remove 0", "remove 1"}));
    EXPECT_EQ(shown(), (Names{"s1", "p1"}));
    EXPECT_TRUE(table.consistent());
    EXPECT_EQ(namesOf(library.fileManager.library), (Names{"s1", "p1"}));
}

TEST_F(Library, DeleteGivenFilesWhileFilteredRemovesTheirShownRows) {
    select(work);
    library.fileManager.filter("2");
    table.reloadData();
    library.deleteFiles({library.fileManager.library[4]});  // w2, shown at row 0
    EXPECT_TRUE(shown().empty());
    EXPECT_TRUE(table.consistent());
    EXPECT_EQ(namesOf(library.fileManager.currentView()), Names{"w1"});
}

TEST_F(Library, RemovingSelectedEntriesOfAnOrdinaryFolderWhileFiltered) {
    select(work);
    library.fileManager.filter("w2");
    table.reloadData();
    table.selectRowIndexes({0}, false);
    library.deleteFiles();
    EXPECT_EQ(namesOf(library.fileManager.library), (Names{"w1", "s1", "d1", "p1"}));
    EXPECT_EQ(work->itemCount, 1);
    EXPECT_TRUE(table.consistent());
    EXPECT_TRUE(fs::exists(libraryFile()));
    EXPECT_TRUE(fs::exists(dir / "w2"));
}

TEST_F(Library, RemovingFromASpecialFolderUpdatesTheOwnersCounts) {
    const FileItemPtr cloud = file("c1", play, true);
    library.fileManager.library.push_back(cloud);
    library.fileManager.sortIntoFolders();
    for (const auto& folder : {work, play}) {
        folder->itemCount = 99;
    }
    select(home());
    ASSERT_EQ(shown(), (Names{"w1", "s1", "d1", "p1", "w2"}));  // the cloud entry is not shown
    table.selectRowIndexes({0, 3}, false);                      // w1 and p1
    outline.clearLog();
    library.deleteFiles();
    EXPECT_EQ(namesOf(library.fileManager.library), (Names{"s1", "d1", "w2", "c1"}));
    EXPECT_EQ(work->itemCount, 1);
    EXPECT_EQ(play->itemCount, 1);  // c1 is still filed there
    const auto workRow = library.folderManager.currentIndexOf(*work, true);
    const auto playRow = library.folderManager.currentIndexOf(*play, true);
    const auto& log = outline.log();
    EXPECT_NE(std::find(log.begin(), log.end(), "reloadRows " + std::to_string(workRow) + ":0"),
              log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "reloadRows " + std::to_string(playRow) + ":0"),
              log.end());
    EXPECT_TRUE(table.consistent());
}

TEST_F(Library, RemovingWithNoFolderSelectedStillSaves) {
    outline.clickRow(-1);
    library.deleteFiles();
    EXPECT_EQ(library.fileManager.library.size(), 5u);
    EXPECT_TRUE(fs::exists(libraryFile()));
}

TEST_F(Library, AddingToASpecialOrCloudFolderIsRefused) {
    auto cloud = std::make_shared<FolderItem>("Dropbox", work->id, "dropbox", "BOX", true, "/c");
    library.folderManager.addFolder(*work, cloud);
    outline.reloadData();
    const std::string cloudHelp =
        "To add files to your cloud folder: \n\n1) Open your cloud folder on your computer\n2) "
        "Add the required files or folders.\n\nMorvane will automatically refresh your library.";
    const struct {
        FolderItemPtr folder;
        std::string message;
        std::optional<std::string> details;
    } cases[] = {
        {home(), "You can not add files to your Home, Favourite or Encrypted folder", {}},
        {special(0), "You can not add files to your Home, Favourite or Encrypted folder", {}},
        {special(1), "You can not add files to your Home, Favourite or Encrypted folder", {}},
        {cloud, "You cannot add files to a cloud folder", cloudHelp},
    };
    removeCatalogueFiles();
    for (const auto& c : cases) {
        select(c.folder);
        mainView.calls.clear();
        library.addFiles(false);
        EXPECT_EQ(alerts->shown().back().message, c.message);
        EXPECT_EQ(alerts->shown().back().informativeText, c.details);
        EXPECT_EQ(mainView.calls, std::vector<std::string>{"stop"});
        library.addDroppedFiles({(dir / "w1").string()});
        EXPECT_EQ(alerts->shown().back().message, c.message);
        EXPECT_EQ(mainView.calls, (std::vector<std::string>{"stop", "stop"}));
    }
    EXPECT_TRUE(panel->shown().empty());
    EXPECT_EQ(library.fileManager.library.size(), 5u);
    EXPECT_FALSE(fs::exists(libraryFile()));
    EXPECT_FALSE(fs::exists(treeFile()));
}

TEST_F(Library, DroppingOnAnOrdinaryFolderAddsTheFolderContentsCountsAndSaves) {
    fs::create_directories(dir / "drop/inner");
    m2::test::writeFile(dir / "drop/one.txt", "1");
    m2::test::writeFile(dir / "drop/inner/two.m2p", "2");
    select(play);
    removeCatalogueFiles();
    mainView.calls.clear();
    library.addDroppedFiles({(dir / "drop").string()});
    // Read on the worker: nothing has joined yet, and nothing was written.
    EXPECT_EQ(shown(), Names{"p1"});
    EXPECT_FALSE(fs::exists(libraryFile()));
    ASSERT_EQ(m2::test::waitForMainQueueWork(mainQueue.queue()), 1u);
    mainQueue->drain();
    EXPECT_EQ(shown(), (Names{"p1", "two.m2p", "one.txt"}));
    EXPECT_EQ(mainView.calls, (std::vector<std::string>{"status", "stop"}));
    EXPECT_TRUE(table.consistent());
    EXPECT_EQ(play->itemCount, 3);
    EXPECT_TRUE(fs::exists(libraryFile()));
    EXPECT_TRUE(fs::exists(treeFile()));
}

TEST_F(Library, ThePanelAddCountsTheFolderWhenTheEntriesHaveJoined) {
    m2::test::writeFile(dir / "new.txt", "n");
    select(play);
    play->itemCount = 1;
    panel->queueChoice({(dir / "new.txt").string()});
    library.addFiles(false);
    EXPECT_EQ(play->itemCount, 1);  // still being read on the worker
    ASSERT_EQ(m2::test::waitForMainQueueWork(mainQueue.queue()), 1u);
    mainQueue->drain();
    EXPECT_EQ(play->itemCount, 2);
    EXPECT_EQ(shown(), (Names{"p1", "new.txt"}));
    EXPECT_EQ(mainView.calls, (std::vector<std::string>{"status", "stop"}));
    EXPECT_TRUE(fs::exists(libraryFile()));
}

TEST_F(Library, SelectedFileComesFromTheShownListAndOpensByItsPath) {
    select(work);
    EXPECT_EQ(library.getSelectedFile(), nullptr);
    library.openSelectedFile();
    EXPECT_TRUE(workspace->opened().empty());

    library.fileManager.filter("w2");
    table.reloadData();
    table.selectRowIndexes({0}, false);
    const FileItemPtr selected = library.getSelectedFile();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->fileName, "w2");
    library.openSelectedFile();
    EXPECT_EQ(workspace->opened(), std::vector<std::string>{(dir / "w2").string()});
}

}  // namespace
