#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/library/FolderManager.h"
#include "app/library/FolderReader.h"
#include "support/FolderTreeHarness.h"
#include "support/TestFiles.h"

using m2::FolderItem;
using m2::FolderItemPtr;
using m2::FolderManager;
using m2::test::readFile;
using Rows = std::vector<std::string>;

namespace {

class FolderTree : public testing::Test, protected m2::test::FolderTreeHarness {
  protected:
    void SetUp() override { start(); }
    std::filesystem::path file() const { return treeFile(); }
    FolderItemPtr addUnder(const FolderItemPtr& parent, const std::string& label) {
        return m2::test::addFolderUnder(manager, parent, label);
    }
    FolderItemPtr addCloud() {
        auto root = std::make_shared<FolderItem>("Cloud", "", "cloud", "CLOUD", true, "");
        manager.createCloudRoot(root);
        auto box = std::make_shared<FolderItem>("Dropbox", "CLOUD", "dropbox", "BOX", true,
                                                "/home/u/Dropbox");
        manager.addFolder(*root, box);
        view.reloadData();
        return root;
    }
};

TEST_F(FolderTree, DefaultTreeWhenThereIsNoUsableFile) {
    ASSERT_EQ(manager.folders.size(), 1u);
    const FolderItem& h = *home();
    EXPECT_EQ(h.label, "Home");
    EXPECT_EQ(h.id, "25D10A16-58C1-4E12-AAB1-38250F613EE4");
    EXPECT_EQ(h.icon, "home-16");
    EXPECT_EQ(h.parent, "");
    const struct {
        const char* label;
        const char* icon;
        std::string id;
    } expected[] = {{"Favourite", "favorite-16", "25D10A16-58C1-4E12-AAB1-38250F613DD6"},
                    {"Encrypted", "lock-16", "25D10A16-58C1-4E12-AAB1-38f250F61322"},
                    {"Documents", "documents-16", "25D10A16-58C1-4E12-AAB1-38250F613116"}};
    ASSERT_EQ(h.children.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(h.children[i]->label, expected[i].label);
        EXPECT_EQ(h.children[i]->icon, expected[i].icon);
        EXPECT_EQ(h.children[i]->id, expected[i].id);
        EXPECT_EQ(h.children[i]->parent, h.id);
    }
    EXPECT_EQ(manager.getCloudRoot(), nullptr);
    EXPECT_EQ(manager.currentFolder(), "");
    EXPECT_FALSE(std::filesystem::exists(file()));  // not saved by initItems

    // A file with a root but no folder gives the default tree as well.
    std::filesystem::create_directories(docs.base());
    m2::test::writeFile(file(), "<folderRoot version=\"1\"/>");
    FolderManager other;
    other.initItems();
    ASSERT_EQ(other.folders.size(), 1u);
    EXPECT_EQ(other.getRoot()->children.size(), 3u);
}

TEST_F(FolderTree, SpecialFoldersAndCloudRoot) {
    EXPECT_TRUE(manager.isSpecial(*home()));
    EXPECT_TRUE(manager.isSpecial(*child(0)));   // Favourite
    EXPECT_TRUE(manager.isSpecial(*child(1)));   // Encrypted
    EXPECT_FALSE(manager.isSpecial(*child(2)));  // Documents
    EXPECT_FALSE(
        manager.isSpecial(FolderItem("x", "", "", "25D10A16-58C1-4E12-AAB1-38F250F61322")));

    const FolderItemPtr cloud = addCloud();
    EXPECT_FALSE(manager.isSpecial(*cloud));
    manager.createCloudRoot(std::make_shared<FolderItem>("Again", "", ""));
    EXPECT_EQ(manager.folders.size(), 2u);
    EXPECT_EQ(manager.getCloudRoot(), cloud);

    FolderManager empty;
    empty.createCloudRoot(cloud);
    EXPECT_TRUE(empty.folders.empty());
}

TEST_F(FolderTree, FindByIdOrCloudPathAndAllChildren) {
    const FolderItemPtr work = addUnder(child(2), "Work");
    const FolderItemPtr deep = addUnder(work, "Deep");
    const FolderItemPtr cloud = addCloud();
    EXPECT_EQ(manager.find(deep->id), deep);
    EXPECT_EQ(manager.find("/home/u/Dropbox"), cloud->children[0]);
    EXPECT_EQ(manager.find("BOX"), cloud->children[0]);
    EXPECT_EQ(manager.find(""), home());
    EXPECT_EQ(manager.find("no such id"), nullptr);

    std::vector<FolderItemPtr> all;
    manager.getAllChildren(*home(), all);
    std::vector<std::string> labels;
    for (const auto& f : all) {
        labels.push_back(f->label);
    }
    EXPECT_EQ(labels, (Rows{"Favourite", "Encrypted", "Documents", "Work", "Deep"}));
}

TEST_F(FolderTree, DeleteRemovesSubtreesAndSaves) {
    const FolderItemPtr work = addUnder(child(2), "Work");
    addUnder(work, "Deep");
    manager.setCurrent(home());

    EXPECT_FALSE(manager.deleteFolder(*home()));
    EXPECT_FALSE(std::filesystem::exists(file()));  // nothing written on a refusal

    ASSERT_TRUE(manager.deleteFolder(*work));
    EXPECT_TRUE(child(2)->children.empty());
    const std::string saved = readFile(file());
    EXPECT_EQ(saved.find("Work"), std::string::npos);
    EXPECT_NE(saved.find("Documents"), std::string::npos);

    // A cloud folder is searched only in the cloud subtree.
    FolderItem flaggedHomeFolder = *child(2);
    flaggedHomeFolder.isCloudFolder = true;
    EXPECT_FALSE(manager.deleteFolder(flaggedHomeFolder));  // no cloud root at all
    const FolderItemPtr cloud = addCloud();
    EXPECT_FALSE(manager.deleteFolder(flaggedHomeFolder));
    EXPECT_EQ(home()->children.size(), 3u);
    EXPECT_FALSE(manager.deleteFolder(*cloud));  // the cloud root itself
    EXPECT_TRUE(manager.deleteFolder(*cloud->children[0]));
    EXPECT_TRUE(cloud->children.empty());
}

TEST_F(FolderTree, VisibleRowsOverExpandedAndCollapsedFolders) {
    const FolderItemPtr work = addUnder(child(0), "Work");  // under Favourite
    const FolderItemPtr cloud = addCloud();
    const FolderItemPtr box = cloud->children[0];
    const FolderItemPtr documents = child(2);
    const struct {
        const char* name;
        std::vector<FolderItemPtr> expanded;
        FolderItemPtr folder;
        bool includeAll;
        int row;
    } cases[] = {
        {"Documents, Home open", {home()}, documents, false, 3},
        {"Documents, Home and Favourite open", {home(), child(0)}, documents, false, 4},
        {"Work, Home and Favourite open", {home(), child(0)}, work, false, 2},
        {"below a closed Home", {}, documents, false, 0},
        {"Home itself", {}, home(), true, 0},
        {"cloud root, Home closed, all", {}, cloud, true, 1},
        {"cloud root, Home open, all", {home()}, cloud, true, 4},
        {"Dropbox in its own subtree", {home(), cloud}, box, false, 1},
        {"Dropbox over all rows", {home(), cloud}, box, true, 5},
        {"Dropbox, cloud closed", {home()}, box, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view.reloadData();
        for (const auto& f : {home(), child(0), cloud}) {
            view.collapseItem(f.get());
        }
        for (const auto& f : c.expanded) {
            view.expandItem(f.get());
        }
        EXPECT_EQ(manager.currentIndexOf(*c.folder, c.includeAll), c.row);
    }
    // The visit refreshes the flags from the outline.
    view.collapseItem(home().get());
    home()->expanded = true;
    (void)manager.currentIndexOf(*documents);
    EXPECT_FALSE(home()->expanded);

    EXPECT_EQ(manager.indexOf(*home(), *documents), 2);
    EXPECT_EQ(manager.indexOf(*home(), *work), 0);
    EXPECT_EQ(manager.indexOf(*home(), *box), -1);
}

TEST_F(FolderTree, ResumeStateRestoresExpansionAndSelection) {
    const FolderItemPtr work = addUnder(child(2), "Work");
    const FolderItemPtr deep = addUnder(work, "Deep");
    const FolderItemPtr cloud = addCloud();
    child(2)->expanded = true;
    work->expanded = true;
    cloud->expanded = false;  // top-level folders open whatever their flag
    child(0)->selected = true;
    deep->selected = true;  // the later one in pre-order wins
    view.reloadData();
    view.clearLog();

    manager.resumeState();
    EXPECT_EQ(view.visibleRows(), (Rows{"Home", "  Favourite", "  Encrypted", "  Documents",
                                        "    Work", "      Deep", "Cloud", "  Dropbox"}));
    EXPECT_EQ(manager.current, deep);
    EXPECT_EQ(manager.currentIndex, 5);
    EXPECT_EQ(view.selectedRow(), 5);
    EXPECT_EQ(manager.getSelectedFolder(true), deep);
    EXPECT_EQ(view.log().back(), "select 5");

    // Nothing flagged: Home, row 0.
    for (auto* f : {child(0).get(), deep.get()}) {
        f->selected = false;
    }
    manager.resumeState();
    EXPECT_EQ(manager.current, home());
    EXPECT_EQ(view.selectedRow(), 0);
}

TEST_F(FolderTree, SelectedFolderFromTheOutline) {
    EXPECT_EQ(manager.getSelectedFolder(false), nullptr);
    home()->selected = true;
    EXPECT_EQ(manager.getSelectedFolder(true), nullptr);  // the flag is not the selection
    view.expandItem(home().get());
    view.clickRow(3);
    EXPECT_EQ(manager.getSelectedFolder(false), child(2));
    manager.folderView = nullptr;
    EXPECT_EQ(manager.getSelectedFolder(true), nullptr);
}

TEST_F(FolderTree, NewFolderInsertsItsRowExpandsTheParentAndSaves) {
    manager.resumeState();
    view.clearLog();
    auto work = std::make_shared<FolderItem>("Work", child(2)->id, "folder-16");
    manager.newLibraryFolder(work, child(2));
    EXPECT_EQ(view.log(), (Rows{"begin", "insert 0 in Documents", "end", "expand Documents"}));
    EXPECT_TRUE(view.consistent());
    EXPECT_EQ(view.visibleRows(),
              (Rows{"Home", "  Favourite", "  Encrypted", "  Documents", "    Work"}));
    EXPECT_EQ(view.selectedRow(), 0);  // the selection stays on Home
    EXPECT_NE(readFile(file()).find("folderNameID=\"Work\""), std::string::npos);

    // Under a cloud folder the row is the folder's own place among its parent's children.
    const FolderItemPtr cloud = addCloud();
    view.clearLog();
    manager.newLibraryFolder(std::make_shared<FolderItem>("Shared", "CLOUD", "folder-16"), cloud);
    EXPECT_EQ(view.log(), (Rows{"begin", "insert 1 in Cloud", "end", "expand Cloud"}));
    EXPECT_TRUE(view.consistent());
    EXPECT_EQ(view.visibleRows().back(), "  Shared");
}

TEST_F(FolderTree, RenamedFolderRedrawsItsRowAndIsSaved) {
    const FolderItemPtr cloud = addCloud();
    manager.resumeState();
    view.expandItem(cloud.get());
    view.clearLog();

    FolderItem edited = *cloud->children[0];
    edited.label = "Dropbox (work)";
    manager.editLibraryFolder(edited);
    EXPECT_EQ(cloud->children[0]->label, "Dropbox (work)");
    // Rows: Home, Favourite, Encrypted, Documents, Cloud, Dropbox: the row over all folders.
    EXPECT_EQ(view.log(), (Rows{"begin", "reloadRows 5:0", "end"}));
    EXPECT_NE(readFile(file()).find("Dropbox (work)"), std::string::npos);

    // After a restart the new name is there.
    FolderManager again;
    again.initItems();
    EXPECT_EQ(again.find("BOX")->label, "Dropbox (work)");

    FolderItem unknown("Nobody", "", "", "NO-SUCH-ID");
    view.clearLog();
    manager.editLibraryFolder(unknown);
    EXPECT_EQ(view.log(), (Rows{"begin", "end"}));
}

TEST_F(FolderTree, SaveBeforeAnySelectionWritesNothingSelected) {
    home()->selected = true;
    manager.save();
    const std::string saved = readFile(file());
    EXPECT_NE(saved.find("folderRoot"), std::string::npos);
    EXPECT_EQ(saved.find("selected=\"true\""), std::string::npos);

    // A restart after a save restores the state that was saved.
    view.expandItem(home().get());
    view.expandItem(child(2).get());
    const FolderItemPtr work = addUnder(child(2), "Work");
    view.reloadData();
    manager.setCurrent(work);
    manager.save();

    FolderManager again;
    m2::FolderOutlineSource againSource{again};
    m2::test::MemoryOutlineView againView;
    again.folderView = &againView;
    again.initItems();
    againView.setDataSource(&againSource);
    again.resumeState();
    EXPECT_EQ(again.currentFolder(), work->id);
    EXPECT_EQ(againView.visibleRows(),
              (Rows{"Home", "  Favourite", "  Encrypted", "  Documents", "    Work"}));
    EXPECT_EQ(againView.selectedRow(), 4);
}

}  // namespace
