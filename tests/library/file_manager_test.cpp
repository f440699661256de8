#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/library/CloudType.h"
#include "app/library/FileManager.h"
#include "app/library/FileReader.h"
#include "app/library/FolderManager.h"
#include "app/library/FolderReader.h"
#include "platform/Paths.h"
#include "support/LibraryTesting.h"
#include "support/MemoryTableView.h"
#include "support/ScopedDocuments.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/TestFiles.h"

using m2::FileItem;
using m2::FileItemPtr;
using m2::FileManager;
using m2::FolderManager;
using Order = m2::FileManager::sortOrder;
using m2::test::namesOf;
using Names = std::vector<std::string>;

namespace {

struct Flags {
    bool favorite = false;
    bool encrypted = false;
    bool cloud = false;
    std::string path = "/docs";
    std::string size = "1 KB";
};

FileItemPtr entry(const std::string& name, const std::string& folder, Flags flags = {}) {
    auto item = std::make_shared<FileItem>();
    item->fileName = name;
    item->folder = folder;
    item->favorite = flags.favorite;
    item->encrypted = flags.encrypted;
    item->cloudFile = flags.cloud;
    item->filePath = flags.path;
    item->absolutePath = "file://" + flags.path + "/" + name;
    item->size = flags.size;
    return item;
}

// A list model over a scratch Documents folder, shown in an in-memory table.
class FileManagerTest : public testing::Test {
  protected:
    m2::test::ScopedDocuments docs;
    m2::test::ScopedScriptedAlerts alerts;
    std::unique_ptr<FileManager> model;
    std::unique_ptr<m2::LibraryTableSource> source;
    m2::test::MemoryTableView table;

    void SetUp() override { make(); }
    // A fresh model that loads what was saved (nothing at first).
    void make() {
        model = std::make_unique<FileManager>();
        source = std::make_unique<m2::LibraryTableSource>(*model);
        model->tableView = &table;
        table.setDataSource(source.get());
    }
    void fill(std::vector<FileItemPtr> items) {
        model->library = std::move(items);
        model->sortIntoFolders();
    }
    // As the outline's selection handler does.
    void show(const std::string& id) {
        model->setView(id);
        table.reloadData();
    }
    Names shown() const { return table.columnTexts("fileName"); }
};

TEST_F(FileManagerTest, LoadsAndGroupsTheLibraryFileWithNothingShown) {
    ASSERT_TRUE(m2::FileReader::save({entry("a1", "A"), entry("b1", "B"), entry("a2", "A")}));
    make();
    EXPECT_EQ(namesOf(model->library), (Names{"a1", "b1", "a2"}));
    EXPECT_EQ(namesOf(model->libraryFolder.at("A")), (Names{"a1", "a2"}));
    EXPECT_EQ(namesOf(model->libraryFolder.at("B")), (Names{"b1"}));
    EXPECT_TRUE(model->currentView().empty());
    EXPECT_EQ(model->currentFilter, FolderManager::home);
}

TEST_F(FileManagerTest, SetViewRules) {
    const std::string cloudRoot = m2::CloudType(m2::CloudType::CloudRoot).id();
    fill({entry("plain", "U"), entry("fav", "U", {.favorite = true}),
          entry("enc", "V", {.encrypted = true}), entry("cloud", "BOX", {.cloud = true}),
          entry("cloudfav", "BOX", {.favorite = true, .cloud = true}),
          entry("doc", FolderManager::document), entry("athome", FolderManager::home)});
    const struct {
        std::string id;
        Names names;
    } cases[] = {
        {FolderManager::home, {"plain", "fav", "enc", "doc", "athome"}},  // each once
        {cloudRoot, {"cloud", "cloudfav"}},
        {FolderManager::favourite, {"fav", "cloudfav"}},
        {FolderManager::encrypted, {"enc"}},
        {"U", {"plain", "fav"}},
        {"BOX", {"cloud", "cloudfav"}},
        {FolderManager::document, {"doc"}},
        {"NO-SUCH-FOLDER", {}},
    };
    for (const auto& c : cases) {
        show(c.id);
        EXPECT_EQ(namesOf(model->currentView()), c.names) << c.id;
        EXPECT_EQ(shown(), c.names) << c.id;
    }
}

TEST_F(FileManagerTest, FilterMatchesNamesOfTheShownFolderIgnoringCase) {
    fill({entry("Report.pdf", "U"), entry("report-old.txt", "U"), entry("ÜBER.txt", "U"),
          entry("Report.pdf", "OTHER", {.path = "/elsewhere"})});
    show("U");
    const struct {
        std::string text;
        bool isFiltered;
        Names names;
    } cases[] = {
        {"REP", true, {"Report.pdf", "report-old.txt"}},
        {"rep", true, {"Report.pdf", "report-old.txt"}},
        {"über", true, {"ÜBER.txt"}},
        {".PDF", true, {"Report.pdf"}},
        {"zzz", true, {}},
        {"/docs", true, {}},  // only names are searched
        {"", false, {}},
    };
    for (const auto& c : cases) {
        model->filter(c.text);
        table.reloadData();
        EXPECT_EQ(model->isFiltered, c.isFiltered) << c.text;
        EXPECT_EQ(namesOf(model->filtered), c.names) << c.text;
        EXPECT_EQ(shown(), c.isFiltered ? c.names : namesOf(model->currentView())) << c.text;
    }
    model->filter("rep");
    model->clearFilter();
    EXPECT_FALSE(model->isFiltered);
    EXPECT_TRUE(model->filtered.empty());
}

TEST_F(FileManagerTest, SortOrdersAreStableInBothDirections) {
    fill({entry("gamma.txt", "U", {.favorite = true, .path = "/b", .size = "9 KB"}),
          entry("Beta.txt", "U", {.encrypted = true, .path = "/A", .size = "10 KB"}),
          entry("alpha.txt", "U", {.favorite = true, .encrypted = true, .path = "/c", .size = "-"}),
          entry("Émile.txt", "U", {.path = "/a", .size = "1 KB"}),
          entry("beta.txt", "U", {.path = "/B", .size = "1 KB"})});
    const struct {
        Order order;
        bool ascending;
        Names names;
    } cases[] = {
        {Order::fileName, true, {"alpha.txt", "Beta.txt", "beta.txt", "gamma.txt", "Émile.txt"}},
        {Order::fileName, false, {"Émile.txt", "gamma.txt", "Beta.txt", "beta.txt", "alpha.txt"}},
        // Ties keep the order they had before this sort (the previous case's order).
        {Order::favourite, true, {"Émile.txt", "Beta.txt", "beta.txt", "gamma.txt", "alpha.txt"}},
        {Order::favourite, false, {"gamma.txt", "alpha.txt", "Émile.txt", "Beta.txt", "beta.txt"}},
        {Order::encrypted, true, {"gamma.txt", "Émile.txt", "beta.txt", "alpha.txt", "Beta.txt"}},
        {Order::encrypted, false, {"alpha.txt", "Beta.txt", "gamma.txt", "Émile.txt", "beta.txt"}},
        {Order::filePath, true, {"Beta.txt", "Émile.txt", "gamma.txt", "beta.txt", "alpha.txt"}},
        {Order::filePath, false, {"alpha.txt", "gamma.txt", "beta.txt", "Beta.txt", "Émile.txt"}},
        // Display texts, not byte counts: "-" first, then "1 KB", "10 KB", "9 KB".
        {Order::filesize, true, {"alpha.txt", "beta.txt", "Émile.txt", "Beta.txt", "gamma.txt"}},
        {Order::filesize, false, {"gamma.txt", "Beta.txt", "beta.txt", "Émile.txt", "alpha.txt"}},
    };
    show("U");
    for (const auto& c : cases) {
        model->sort(c.order, c.ascending);
        table.reloadData();
        EXPECT_EQ(shown(), c.names) << FileManager::rawValue(c.order) << " " << c.ascending;
    }
    // Only the shown list moves.
    EXPECT_EQ(namesOf(model->library),
              (Names{"gamma.txt", "Beta.txt", "alpha.txt", "Émile.txt", "beta.txt"}));
}

TEST_F(FileManagerTest, FlagSortsOfManyEqualEntriesStayWellFormed) {
    // Equal flags used to compare as "before" each other; with enough entries that is
    // undefined behaviour in a sort. Now they keep their order.
    std::vector<FileItemPtr> items;
    for (int i = 0; i < 200; ++i) {
        items.push_back(entry(std::to_string(i), "U", {.favorite = i % 3 == 0}));
    }
    fill(items);
    show("U");
    model->sort(Order::favourite, true);
    const auto& view = model->currentView();
    ASSERT_EQ(view.size(), 200u);
    for (std::size_t i = 1; i < view.size(); ++i) {
        const auto& a = *view[i - 1];
        const auto& b = *view[i];
        EXPECT_TRUE(a.favorite < b.favorite ||
                    (a.favorite == b.favorite && std::stoi(a.fileName) < std::stoi(b.fileName)))
            << i;
    }
}

TEST_F(FileManagerTest, SortWhileFilteredSortsTheShownRows) {
    fill({entry("b.txt", "U"), entry("c.txt", "U"), entry("a.txt", "U"), entry("z.doc", "U")});
    show("U");
    model->filter(".txt");
    source->sortDescriptorsDidChange("fileName", false);
    EXPECT_EQ(shown(), (Names{"c.txt", "b.txt", "a.txt"}));
    EXPECT_EQ(table.log().back(), "reloadData");
}

TEST_F(FileManagerTest, SortKeysMatchExactly) {
    for (const auto* key : {"favourite", "fileName", "encrypted", "filePath", "filesize"}) {
        const auto order = FileManager::sortOrderFromRawValue(key);
        ASSERT_TRUE(order.has_value()) << key;
        EXPECT_EQ(FileManager::rawValue(*order), key);
    }
    fill({entry("b", "U"), entry("a", "U")});
    show("U");
    table.clearLog();
    for (const auto* key : {"size", "FileName", "path", "favorite", ""}) {
        EXPECT_FALSE(FileManager::sortOrderFromRawValue(key).has_value()) << key;
        source->sortDescriptorsDidChange(key, true);
    }
    EXPECT_EQ(shown(), (Names{"b", "a"}));
    EXPECT_TRUE(table.log().empty());
}

TEST_F(FileManagerTest, TableCellsOfTheFiveColumns) {
    fill({entry("f.m2p", "U", {.favorite = true, .encrypted = true, .path = "/p", .size = "2 KB"}),
          entry("g.txt", "U", {.path = "/q", .size = "-"})});
    show("U");
    using Cell = m2::platform::TableCell;
    const struct {
        std::size_t row;
        const char* column;
        Cell cell;
    } cases[] = {
        {0, "favorite", {"", "favorite-16"}},
        {0, "fileName", {"f.m2p", ""}},
        {0, "encrypted", {"", "lock-16"}},
        {0, "path", {"/p", ""}},
        {0, "size", {"2 KB", ""}},
        {1, "favorite", {"-", "favorite-off-16"}},
        {1, "encrypted", {"-", ""}},
        {1, "size", {"-", ""}},
        {1, "unknown", {"", ""}},
        {2, "fileName", {"", ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(source->cell(c.row, c.column), c.cell) << c.row << " " << c.column;
    }
    const auto columns = m2::LibraryTableSource::columns();
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_EQ(columns[0].identifier, "favorite");
    EXPECT_EQ(columns[0].sortKey, "favourite");
    EXPECT_EQ(columns[3].identifier, "path");
    EXPECT_EQ(columns[3].sortKey, "filePath");
    EXPECT_EQ(columns[4].identifier, "size");
    EXPECT_EQ(columns[4].sortKey, "filesize");
}

TEST_F(FileManagerTest, UpdateItemSplitsTheNewPath) {
    const auto item = entry("report.pdf", "U", {.path = "/Users/a/Docs"});
    fill({item});
    show("U");
    FileItem copy = *item;  // the batch hands over its own copy of the entry
    EXPECT_TRUE(model->updateItem(copy, "/Users/a/Docs/report.pdf.m2p", true));
    EXPECT_EQ(item->fileName, "report.pdf.m2p");
    EXPECT_EQ(item->filePath, "/Users/a/Docs");
    EXPECT_EQ(item->absolutePath, "/Users/a/Docs/report.pdf.m2p");
    EXPECT_TRUE(item->encrypted);
    EXPECT_TRUE(model->updateItem(copy, "/top.txt", false));
    EXPECT_EQ(item->filePath, "/");
    EXPECT_FALSE(item->encrypted);

    FileItem stranger;
    EXPECT_FALSE(model->updateItem(stranger, "/x/y", true));
    EXPECT_EQ(item->fileName, "top.txt");
}

TEST_F(FileManagerTest, UpdateItemReachesTheShownCopyWhereverItStands) {
    fill({entry("b.txt", "U"), entry("a.txt", "U"), entry("c.txt", "U")});
    // A shown list rebuilt from another load holds copies with the same ids.
    std::vector<FileItemPtr> copies;
    for (const auto& item : model->library) {
        copies.push_back(std::make_shared<FileItem>(*item));
    }
    model->setCurrentView(copies);
    const struct {
        std::optional<Order> sortFirst;
        std::size_t entry;
        std::string newName;
    } cases[] = {
        {std::nullopt, 1, "a.txt.m2p"},
        {Order::fileName, 2, "c.txt.m2p"},  // the rows moved in place
        {std::nullopt, 0, "b.txt.m2p"},
    };
    for (const auto& c : cases) {
        if (c.sortFirst) {
            model->sort(*c.sortFirst, false);
        }
        const FileItemPtr& item = model->library[c.entry];
        ASSERT_TRUE(model->updateItem(*item, "/docs/" + c.newName, true));
        EXPECT_EQ(item->fileName, c.newName);
        const auto& view = model->currentView();
        const auto shown = std::find_if(view.begin(), view.end(),
                                        [&](const FileItemPtr& e) { return e->id == item->id; });
        ASSERT_NE(shown, view.end());
        EXPECT_NE(shown->get(), item.get());
        EXPECT_EQ((*shown)->fileName, c.newName);
        EXPECT_EQ((*shown)->absolutePath, "/docs/" + c.newName);
    }
}

TEST_F(FileManagerTest, ToggleFavouriteActsOnTheShownRow) {
    fill({entry("one.txt", "U"), entry("two.doc", "U"), entry("three.txt", "U")});
    show("U");
    table.clearLog();
    model->toggleFavourite();  // no row selected: nothing happens
    EXPECT_TRUE(table.log().empty());

    model->filter(".txt");
    table.reloadData();
    table.selectRowIndexes({1}, false);  // "three.txt" in the search result
    model->toggleFavourite();
    EXPECT_FALSE(model->library[1]->favorite);
    EXPECT_TRUE(model->library[2]->favorite);
    EXPECT_EQ(table.log().back(), "reload 1:0");
    model->toggleFavourite();
    EXPECT_FALSE(model->library[2]->favorite);

    // A clicked row is toggled whatever the selection is; rows past the list do nothing.
    table.selectRowIndexes({}, false);
    model->toggleFavourite(0);
    EXPECT_TRUE(model->library[0]->favorite);
    EXPECT_EQ(table.log().back(), "reload 0:0");
    model->toggleFavourite(2);
    EXPECT_EQ(namesOf(model->library), (Names{"one.txt", "two.doc", "three.txt"}));
    EXPECT_FALSE(model->library[1]->favorite || model->library[2]->favorite);
}

TEST_F(FileManagerTest, DeleteItemsRemovesTheShownEntriesOnly) {
    fill({entry("E1", "U"), entry("E2", "U"), entry("E3", "U"), entry("X", "OTHER")});
    show("U");
    EXPECT_TRUE(model->deleteItems({0, 2, 7}));
    EXPECT_EQ(namesOf(model->currentView()), (Names{"E2"}));
    EXPECT_EQ(namesOf(model->library), (Names{"E2", "X"}));
}

TEST_F(FileManagerTest, DeleteFilesWhileFilteredRemovesExactlyTheSelectedShownEntries) {
    fill({entry("a.txt", "U"), entry("b.doc", "U"), entry("c.txt", "U"), entry("d.txt", "U")});
    show("U");
    model->filter("txt");
    table.reloadData();
    table.selectRowIndexes({1, 2}, false);  // c.txt and d.txt
    model->deleteFiles();
    EXPECT_EQ(namesOf(model->library), (Names{"a.txt", "b.doc"}));
    EXPECT_EQ(namesOf(model->currentView()), (Names{"a.txt", "b.doc"}));
    EXPECT_EQ(shown(), (Names{"a.txt"}));
    EXPECT_TRUE(table.consistent());
    EXPECT_EQ(table.log(),
              (std::vector<std::string>{"reloadData", "reloadData", "begin", "remove 1,2", "end"}));
    make();  // the library file was written
    EXPECT_EQ(namesOf(model->library), (Names{"a.txt", "b.doc"}));
}

TEST_F(FileManagerTest, DeleteFilesWithoutSelectionStillSaves) {
    fill({entry("a.txt", "U")});
    show("U");
    model->deleteFiles();
    EXPECT_EQ(namesOf(model->library), (Names{"a.txt"}));
    EXPECT_TRUE(std::filesystem::exists(m2::FileReader::location()));
}

// A save that cannot be written (here: something else stands at the file's name) is told
// once, with the reason, however often it is tried; the model keeps everything, and the first
// save once the way is clear writes it all.
TEST_F(FileManagerTest, AFailedSaveOfTheLibraryOrTheFolderTreeIsToldOnceAndTriedAgain) {
    struct Case {
        const char* what;
        std::filesystem::path file;
        std::function<void()> save;
        const char* message;
    };
    FolderManager folders;
    fill({entry("a.txt", FolderManager::home), entry("b.doc", FolderManager::home)});
    const Case cases[] = {
        {"library", m2::FileReader::location(), [&] { model->save(); },
         "Could not save your library"},
        {"folders", m2::FolderReader::location(), [&] { folders.save(); },
         "Could not save your folders"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::size_t before = alerts->shown().size();
        std::filesystem::remove(c.file);
        std::filesystem::create_directories(c.file / "in the way");
        for (int i = 0; i < 3; ++i) {
            c.save();
        }
        const auto shown = alerts->shown();
        ASSERT_EQ(shown.size(), before + 1);
        EXPECT_EQ(shown.back().message, c.message);
        EXPECT_NE(shown.back().informativeText.value_or("").find("Is a directory"),
                  std::string::npos)
            << shown.back().informativeText.value_or("");
        EXPECT_EQ(namesOf(model->library), (Names{"a.txt", "b.doc"}));

        std::filesystem::remove_all(c.file);
        c.save();
        EXPECT_TRUE(std::filesystem::is_regular_file(c.file));
        EXPECT_EQ(alerts->shown().size(), before + 1);
    }
    make();
    EXPECT_EQ(namesOf(model->library), (Names{"a.txt", "b.doc"}));

    // Failing again later is a new failure, told again.
    std::filesystem::remove(m2::FileReader::location());
    std::filesystem::create_directories(m2::FileReader::location() / "in the way");
    model->save();
    EXPECT_EQ(alerts->shown().back().message, "Could not save your library");
    std::filesystem::remove_all(m2::FileReader::location());
}

// The small disk is mounted before the model starts any thread: a private mount can only be
// entered while the test runs one.
class FileManagerOnASmallDisk : public FileManagerTest {
  protected:
    m2::test::SmallTmpfs mount{1024 * 1024};
};

// The library's folder on a file system that is full, or read-only: the same, with the
// system's words for it, and the save works again once there is room.
TEST_F(FileManagerOnASmallDisk, ALibrarySaveOnAFullOrReadOnlyFileSystemIsToldOnceAndTriedAgain) {
    if (!mount.mounted()) {
        GTEST_SKIP() << "no small tmpfs: " << mount.whyNotMounted();
    }
    struct Case {
        const char* what;
        const char* reason;
    };
    for (const Case& c :
         {Case{"full", "No space left on device"}, Case{"read-only", "Read-only file system"}}) {
        SCOPED_TRACE(c.what);
        // The Documents folder on the mount for this case only.
        m2::platform::setDocumentsFolderOverride(mount.path());
        struct Back {
            const std::filesystem::path& to;
            ~Back() { m2::platform::setDocumentsFolderOverride(to); }
        } back{docs.documents()};
        std::filesystem::create_directories(mount / "Morvane");
        make();
        fill({entry("a.txt", FolderManager::home), entry("b.doc", FolderManager::home)});
        model->save();
        const std::size_t before = alerts->shown().size();
        if (std::string(c.what) == "full") {
            mount.fill();
        } else {
            ASSERT_TRUE(mount.setReadOnly(true));
        }
        model->library.push_back(entry("c.pdf", FolderManager::home));
        model->save();
        model->save();
        ASSERT_EQ(alerts->shown().size(), before + 1);
        EXPECT_EQ(alerts->shown().back().message, "Could not save your library");
        EXPECT_NE(alerts->shown().back().informativeText.value_or("").find(c.reason),
                  std::string::npos)
            << alerts->shown().back().informativeText.value_or("");
        EXPECT_EQ(namesOf(model->library), (Names{"a.txt", "b.doc", "c.pdf"}));

        if (std::string(c.what) == "full") {
            std::filesystem::remove(mount / ".filler");
        } else {
            ASSERT_TRUE(mount.setReadOnly(false));
        }
        model->save();
        EXPECT_EQ(alerts->shown().size(), before + 1);
        make();
        EXPECT_EQ(namesOf(model->library), (Names{"a.txt", "b.doc", "c.pdf"}));
    }
}

TEST_F(FileManagerTest, FolderDeleteRemovesItsEntriesAndShowsTheFolderAgain) {
    fill({entry("x", "F"), entry("h", "G"), entry("y", "F", {.favorite = true})});
    show(FolderManager::home);
    table.selectRowIndexes({2}, false);
    model->folderDelete("F");
    EXPECT_EQ(namesOf(model->library), (Names{"h"}));
    EXPECT_EQ(shown(), (Names{"h"}));
    EXPECT_TRUE(table.consistent());
    model->folderDelete("NONE");
    EXPECT_EQ(namesOf(model->library), (Names{"h"}));
    EXPECT_TRUE(table.consistent());
}

TEST_F(FileManagerTest, AddFileRefusesTheSameNameInTheSameDirectory) {
    show("U");
    const struct {
        const char* name;
        const char* path;
        bool added;
    } cases[] = {
        {"a.txt", "/one", true}, {"a.txt", "/one", false}, {"a.txt", "/two", true},
        {"A.txt", "/one", true}, {"a.txt", "/one/", true},
    };
    for (const auto& c : cases) {
        const auto outcome = model->addFile(entry(c.name, "U", {.path = c.path}));
        EXPECT_EQ(outcome.success, c.added) << c.name << " " << c.path;
        EXPECT_EQ(outcome.result,
                  c.added ? m2::LibraryResult::ok : m2::LibraryResult::fileAlreadyExists);
    }
    EXPECT_EQ(model->library.size(), 4u);
    EXPECT_EQ(model->currentView().size(), 4u);
}

TEST_F(FileManagerTest, AddFileToLibraryInsertsItsRow) {
    fill({entry("old", "U")});
    show("U");
    const auto ok = model->addFileToLibrary("/d/new.m2p", "U", "file:///d/new.m2p", false);
    EXPECT_TRUE(ok.success);
    const auto hidden = model->addFileToLibrary("/d/.DS_Store", "U", "file:///d/.DS_Store", false);
    EXPECT_EQ(hidden.result, m2::LibraryResult::systemFile);
    const auto again = model->addFileToLibrary("/d/new.m2p", "U", "file:///d/new.m2p", false);
    EXPECT_EQ(again.result, m2::LibraryResult::fileAlreadyExists);
    EXPECT_EQ(shown(), (Names{"old", "new.m2p"}));
    EXPECT_TRUE(table.consistent());
    const FileItem& added = *model->library.back();
    EXPECT_TRUE(added.encrypted);
    EXPECT_EQ(added.filePath, "/d");
    EXPECT_EQ(added.folder, "U");
    EXPECT_EQ(added.absolutePath, "file:///d/new.m2p");
    EXPECT_EQ(added.size, "-");
    EXPECT_EQ(added.id.size(), 36u);
}

TEST_F(FileManagerTest, AddCloudFileGoesToTheLibraryAndAnExistingGroupOnly) {
    fill({entry("c1", "BOX", {.cloud = true})});
    model->addCloudFileToLibrary("/cloud/c2", "BOX", "file:///cloud/c2", true);
    model->addCloudFileToLibrary("/cloud/c3", "NOGROUP", "file:///cloud/c3", true);
    model->addCloudFileToLibrary("/cloud/Icon\r", "BOX", "file:///cloud/Icon%0D", true);
    model->addCloudFileToLibrary("/cloud/c2", "BOX", "file:///cloud/c2", true);  // no test
    EXPECT_EQ(namesOf(model->library), (Names{"c1", "c2", "c3", "c2"}));
    EXPECT_EQ(namesOf(model->libraryFolder.at("BOX")), (Names{"c1", "c2", "c2"}));
    EXPECT_FALSE(model->libraryFolder.contains("NOGROUP"));
    EXPECT_TRUE(model->library.back()->cloudFile);
    EXPECT_TRUE(table.log().empty());
}

}  // namespace
