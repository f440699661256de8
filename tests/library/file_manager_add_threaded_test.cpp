#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/library/FileManager.h"
#include "app/library/FileReader.h"
#include "app/library/MainViewServices.h"
#include "platform/Dispatch.h"
#include "platform/Workspace.h"
#include "support/LibraryTesting.h"
#include "support/MemoryTableView.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::FileItemPtr;
using m2::FileManager;
using m2::test::namesOf;
using Names = std::vector<std::string>;

namespace {

// A list model showing folder "U" in an in-memory table, over a real folder tree:
//   tree/.DS_Store  tree/.git/config  tree/Icon\r  tree/a.txt (1500 bytes)
//   tree/filelink -> a.txt  tree/loop -> tree  tree/sub/{b.m2p, notes.M2P, report.m2p.txt}
class AddingFiles : public testing::Test, protected m2::test::LibraryHarness {
  protected:
    m2::test::TempDir dir;
    fs::path tree = dir / "tree";
    FileManager model;
    m2::LibraryTableSource source{model};
    m2::test::MemoryTableView table;
    std::vector<int> completions;

    void SetUp() override {
        fs::create_directories(tree / ".git");
        fs::create_directories(tree / "sub");
        m2::test::writeFile(tree / ".DS_Store", "x");
        m2::test::writeFile(tree / ".git/config", "x");
        m2::test::writeFile(tree / "Icon\r", "");
        m2::test::writeFile(tree / "a.txt", std::string(1500, 'a'));
        fs::create_symlink("a.txt", tree / "filelink");
        fs::create_symlink(tree, tree / "loop");
        for (const auto* name : {"b.m2p", "notes.M2P", "report.m2p.txt"}) {
            m2::test::writeFile(tree / "sub" / name, "x");
        }
        model.tableView = &table;
        table.setDataSource(&source);
        show("U");
    }
    void show(const std::string& id) {
        model.setView(id);
        table.reloadData();
    }
    FileManager::AddCompletion recordCompletion() {
        return [this](int added) { completions.push_back(added); };
    }
    void waitForWorker() { ASSERT_EQ(m2::test::waitForMainQueueWork(mainQueue.queue()), 1u); }
    static inline const Names treeNames{"config", "a.txt",     "filelink",
                                        "b.m2p",  "notes.M2P", "report.m2p.txt"};
};

TEST_F(AddingFiles, AFolderTreeBecomesEntriesWithoutSystemNamesOrLinkedFolders) {
    model.addFilesByUrl({tree.string()}, false, "U", recordCompletion());
    EXPECT_EQ(namesOf(model.library), treeNames);
    EXPECT_EQ(table.columnTexts("fileName"), treeNames);
    EXPECT_TRUE(table.consistent());
    const struct {
        std::string dir;
        bool encrypted;
    } expected[] = {{(tree / ".git").string(), false},
                    {tree.string(), false},
                    {tree.string(), false},
                    {(tree / "sub").string(), true},
                    {(tree / "sub").string(), false},
                    {(tree / "sub").string(), true}};
    for (std::size_t i = 0; i < model.library.size(); ++i) {
        const auto& e = *model.library[i];
        EXPECT_EQ(e.filePath, expected[i].dir) << e.fileName;
        EXPECT_EQ(e.encrypted, expected[i].encrypted) << e.fileName;
        EXPECT_EQ(e.folder, "U");
        EXPECT_FALSE(e.favorite);
        EXPECT_FALSE(e.cloudFile);
        EXPECT_EQ(e.absolutePath, m2::platform::fileUrlText(e.filePath + "/" + e.fileName));
    }
    EXPECT_EQ(model.library[1]->size, m2::convertToFileSize(1500));
    EXPECT_EQ(completions, std::vector<int>{6});
    EXPECT_EQ(mainView.calls, (std::vector<std::string>{"status", "stop"}));
    EXPECT_TRUE(alerts->shown().empty());
    const auto saved = m2::FileReader::load();
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(namesOf(*saved), treeNames);
}

TEST_F(AddingFiles, DuplicatesAreRefusedAndSummedUpWithoutASave) {
    model.addFilesByUrl({(tree / "a.txt").string(), (tree / ".DS_Store").string()}, false, "U");
    fs::remove(m2::FileReader::location());
    model.addFilesByUrl({(tree / "a.txt").string(), (tree / "sub").string()}, false, "U");
    EXPECT_EQ(namesOf(model.library), (Names{"a.txt", "b.m2p", "notes.M2P", "report.m2p.txt"}));
    const auto shown = alerts->shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].message, "file could not be added to your library.");
    EXPECT_EQ(shown[0].informativeText, "1 file are already included within your library");
    EXPECT_TRUE(fs::exists(m2::FileReader::location()));  // three were added

    fs::remove(m2::FileReader::location());
    model.addFilesByUrl({tree.string()}, true, "U");
    EXPECT_EQ(alerts->shown().back().message, "files could not be added to your library.");
    EXPECT_EQ(alerts->shown().back().informativeText,
              "4 files are already included within your library");
    EXPECT_EQ(model.library.size(), 6u);  // config and filelink were new
    EXPECT_TRUE(fs::exists(m2::FileReader::location()));

    fs::remove(m2::FileReader::location());
    model.addFilesByUrl({tree.string()}, true, "U");
    EXPECT_EQ(alerts->shown().back().informativeText,
              "6 files are already included within your library");
    EXPECT_FALSE(fs::exists(m2::FileReader::location()));  // nothing added, nothing written
    EXPECT_TRUE(table.consistent());
}

TEST_F(AddingFiles, RelativePathsAreRecordedAbsolute) {
    const fs::path previous = fs::current_path();
    fs::current_path(tree);
    model.addFilesByUrl({"a.txt", "sub"}, false, "U");
    fs::current_path(previous);
    ASSERT_EQ(namesOf(model.library), (Names{"a.txt", "b.m2p", "notes.M2P", "report.m2p.txt"}));
    EXPECT_EQ(model.library[0]->filePath, fs::canonical(tree).string());
    EXPECT_EQ(model.library[1]->filePath, (fs::canonical(tree) / "sub").string());
    const auto saved = m2::FileReader::load();
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->size(), 4u);
}

TEST_F(AddingFiles, ThePanelChoosesFilesOrFoldersWithItsSettings) {
    panel->queueCancel();
    panel->queueCancel();
    model.addFilesFromFinder(false, "U", recordCompletion());
    model.addFilesFromFinder(true, "U", recordCompletion());
    const auto& shown = panel->shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].prompt, "Add file(s)");
    EXPECT_TRUE(shown[0].canChooseFiles);
    EXPECT_FALSE(shown[0].canChooseDirectories);
    EXPECT_EQ(shown[1].prompt, "Add folder");
    EXPECT_FALSE(shown[1].canChooseFiles);
    EXPECT_TRUE(shown[1].canChooseDirectories);
    for (const auto& options : shown) {
        EXPECT_TRUE(options.showsResizeIndicator);
        EXPECT_TRUE(options.showsHiddenFiles);
        EXPECT_TRUE(options.allowsMultipleSelection);
    }
    // Cancelling adds nothing, saves nothing and ends the progress display.
    mainQueue->drain();
    EXPECT_TRUE(model.library.empty());
    EXPECT_TRUE(completions.empty());
    EXPECT_EQ(mainView.calls, (std::vector<std::string>{"stop", "stop"}));
    EXPECT_FALSE(fs::exists(m2::FileReader::location()));
    EXPECT_EQ(table.updateDepth(), 0);
}

TEST_F(AddingFiles, TheWorkerOnlyReadsAndTheMainQueueAppliesInOneStep) {
    panel->queueChoice({tree.string()});
    model.addFilesFromFinder(true, "U", recordCompletion());
    waitForWorker();
    // Nothing has changed yet: the lists belong to the main thread.
    EXPECT_TRUE(model.library.empty());
    EXPECT_FALSE(fs::exists(m2::FileReader::location()));
    table.clearLog();

    EXPECT_EQ(mainQueue->drain(), 1u);
    EXPECT_EQ(namesOf(model.currentView()), treeNames);
    EXPECT_EQ(table.log(), (std::vector<std::string>{"begin", "insert 0,1,2,3,4,5", "end"}));
    EXPECT_TRUE(table.consistent());
    EXPECT_EQ(completions, std::vector<int>{6});
    EXPECT_EQ(mainView.calls, (std::vector<std::string>{"status", "stop"}));
    EXPECT_TRUE(fs::exists(m2::FileReader::location()));
}

TEST_F(AddingFiles, AFolderChangeDuringTheAddShowsTheNewFolderAgain) {
    model.library.push_back(std::make_shared<m2::FileItem>("file:///o", "other.txt", "OTHER", false,
                                                           false, "/o", false));
    panel->queueChoice({(tree / "sub").string()});
    model.addFilesFromFinder(true, "U", recordCompletion());
    waitForWorker();
    show("OTHER");
    table.clearLog();

    mainQueue->drain();
    EXPECT_EQ(namesOf(model.library), (Names{"other.txt", "b.m2p", "notes.M2P", "report.m2p.txt"}));
    EXPECT_EQ(table.columnTexts("fileName"), Names{"other.txt"});
    EXPECT_EQ(table.log(), std::vector<std::string>{"reloadData"});
    EXPECT_TRUE(table.consistent());
    show("U");
    EXPECT_EQ(table.columnTexts("fileName"), (Names{"b.m2p", "notes.M2P", "report.m2p.txt"}));
}

TEST_F(AddingFiles, ASearchDuringTheAddIsAppliedToTheNewEntries) {
    panel->queueChoice({(tree / "sub").string()});
    model.addFilesFromFinder(true, "U", recordCompletion());
    model.filter("m2p");
    table.reloadData();
    waitForWorker();
    mainQueue->drain();
    EXPECT_EQ(table.columnTexts("fileName"), (Names{"b.m2p", "notes.M2P", "report.m2p.txt"}));
    EXPECT_TRUE(table.consistent());
    model.filter("");
    table.reloadData();
    EXPECT_EQ(table.columnTexts("fileName"), (Names{"b.m2p", "notes.M2P", "report.m2p.txt"}));
}

TEST_F(AddingFiles, ARenamedOrRemovedEntryNoLongerHoldsItsOldPlace) {
    model.addFilesByUrl({(tree / "a.txt").string(), (tree / "sub/b.m2p").string()}, false, "U");
    ASSERT_EQ(model.library.size(), 2u);
    // An encryption renamed the first; the second was taken out of the library.
    ASSERT_TRUE(model.updateItem(*model.library[0], (tree / "a.txt.m2p").string(), true));
    ASSERT_TRUE(model.deleteItems({1}));
    table.reloadData();

    model.addFilesByUrl(
        {(tree / "a.txt").string(), (tree / "a.txt.m2p").string(), (tree / "sub/b.m2p").string()},
        false, "U");
    EXPECT_EQ(namesOf(model.library), (Names{"a.txt.m2p", "a.txt", "b.m2p"}));
    ASSERT_EQ(alerts->shown().size(), 1u);
    EXPECT_EQ(alerts->shown()[0].informativeText,
              "1 file are already included within your library");
}

TEST_F(AddingFiles, ALargeAddJoinsInStepsAndEndsOnce) {
    model.addSlice = 2;
    model.library.push_back(std::make_shared<m2::FileItem>("file:///o", "other.txt", "OTHER", false,
                                                           false, "/o", false));
    // The same file twice in one choice: the second is a duplicate of the first.
    panel->queueChoice({tree.string(), (tree / "a.txt").string()});
    model.addFilesFromFinder(true, "U", recordCompletion());
    waitForWorker();
    table.clearLog();

    ASSERT_TRUE(mainQueue->runOne());
    EXPECT_EQ(namesOf(model.currentView()), (Names{"config", "a.txt"}));
    EXPECT_EQ(table.log(), (std::vector<std::string>{"begin", "insert 0,1", "end"}));
    EXPECT_TRUE(table.consistent());
    // Not done: no count, status, save or summary yet, and the rest waits its turn.
    EXPECT_TRUE(completions.empty());
    EXPECT_TRUE(mainView.calls.empty());
    EXPECT_FALSE(fs::exists(m2::FileReader::location()));
    EXPECT_EQ(mainQueue->pending(), 1u);

    ASSERT_TRUE(mainQueue->runOne());
    EXPECT_EQ(table.columnTexts("fileName"), (Names{"config", "a.txt", "filelink", "b.m2p"}));
    // The user shows another folder before the rest has joined.
    show("OTHER");
    table.clearLog();
    EXPECT_EQ(mainQueue->drain(), 2u);
    EXPECT_EQ(table.columnTexts("fileName"), Names{"other.txt"});
    EXPECT_EQ(table.log(), std::vector<std::string>{"reloadData"});
    EXPECT_EQ(completions, std::vector<int>{6});
    EXPECT_EQ(mainView.calls, (std::vector<std::string>{"status", "stop"}));
    ASSERT_EQ(alerts->shown().size(), 1u);
    EXPECT_EQ(alerts->shown()[0].informativeText,
              "1 file are already included within your library");
    const auto saved = m2::FileReader::load();
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->size(), 7u);
    show("U");
    EXPECT_EQ(table.columnTexts("fileName"), treeNames);
}

}  // namespace
