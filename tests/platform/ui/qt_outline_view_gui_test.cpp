#include <QTreeView>
#include <QtTest>

#include <string>
#include <vector>

#include "app/library/FolderManager.h"
#include "platform/ui/QtOutlineView.h"
#include "support/ScopedDocuments.h"

using m2::FolderItem;
using m2::FolderItemPtr;
using m2::FolderManager;
using m2::platform::ui::QtOutlineView;
using Rows = std::vector<std::string>;

namespace {

// The rows the tree view shows, read through Qt's own navigation, indented per level.
Rows shownRows(const QTreeView& tree) {
    Rows rows;
    for (QModelIndex i = tree.model()->index(0, 0); i.isValid(); i = tree.indexBelow(i)) {
        int depth = 0;
        for (QModelIndex p = i.parent(); p.isValid(); p = p.parent()) {
            ++depth;
        }
        rows.push_back(std::string(2 * static_cast<std::size_t>(depth), ' ') +
                       i.data().toString().toStdString());
    }
    return rows;
}

std::string selectedLabel(const QTreeView& tree) {
    const auto selected = tree.selectionModel()->selectedRows();
    return selected.isEmpty() ? "" : selected.front().data().toString().toStdString();
}

class CountingSource : public m2::FolderOutlineSource {
  public:
    using FolderOutlineSource::FolderOutlineSource;
    void selectionDidChange() override { ++changes; }
    int changes = 0;
};

// The folder-tree model driving a real QTreeView, started as the main view starts it.
struct Harness {
    FolderManager manager;
    CountingSource source{manager};
    QTreeView tree;
    QtOutlineView outline{&tree};

    Harness() {
        manager.folderView = &outline;
        manager.initItems();
        outline.setDataSource(&source);
        manager.resumeState();
    }
    FolderItemPtr home() const { return manager.getRoot(); }
    FolderItemPtr child(std::size_t i) const { return home()->children.at(i); }
};

}  // namespace

class QtOutlineViewTest : public QObject {
    Q_OBJECT

  private slots:
    void showsTheTreeAndRestoresStateAfterARestart() {
        m2::test::ScopedDocuments docs;
        FolderItemPtr work;
        {
            Harness first;
            QCOMPARE(shownRows(first.tree),
                     (Rows{"Home", "  Favourite", "  Encrypted", "  Documents"}));
            QCOMPARE(selectedLabel(first.tree), std::string("Home"));
            work = std::make_shared<FolderItem>("Work", first.child(2)->id, "folder-16");
            first.manager.newLibraryFolder(work, first.child(2));
            first.outline.selectRowIndexes({4}, false);
            first.manager.setCurrent(first.manager.getSelectedFolder(true));
            const QModelIndex homeIndex = first.tree.model()->index(0, 0);
            first.tree.collapse(first.tree.model()->index(0, 0, homeIndex));  // Favourite
            first.manager.save();
        }
        Harness second;
        QCOMPARE(shownRows(second.tree),
                 (Rows{"Home", "  Favourite", "  Encrypted", "  Documents", "    Work"}));
        QCOMPARE(selectedLabel(second.tree), std::string("Work"));
        QCOMPARE(second.manager.currentFolder(), work->id);
        QCOMPARE(second.outline.selectedRow(), 4);
        QCOMPARE(second.manager.getSelectedFolder(true)->id, work->id);
    }

    void insertsAndRenamesKeepExpansionAndSelection() {
        m2::test::ScopedDocuments docs;
        Harness h;
        h.outline.expandItem(h.child(2).get());
        auto projects = std::make_shared<FolderItem>("Projects", h.child(2)->id, "folder-16");
        h.manager.newLibraryFolder(projects, h.child(2));
        auto old = std::make_shared<FolderItem>("Old", projects->id, "folder-16");
        h.manager.newLibraryFolder(old, projects);
        h.outline.selectRowIndexes({2}, false);  // Encrypted
        auto notes = std::make_shared<FolderItem>("Notes", h.home()->id, "folder-16");
        h.manager.newLibraryFolder(notes, h.home());
        QCOMPARE(shownRows(h.tree), (Rows{"Home", "  Favourite", "  Encrypted", "  Documents",
                                          "    Projects", "      Old", "  Notes"}));
        QCOMPARE(selectedLabel(h.tree), std::string("Encrypted"));
        QVERIFY(h.outline.isItemExpanded(projects.get()));

        FolderItem renamed = *projects;
        renamed.label = "Projects & <Plans>";
        h.manager.editLibraryFolder(renamed);
        QCOMPARE(shownRows(h.tree)[4], std::string("    Projects & <Plans>"));
        QCOMPARE(h.outline.itemAtRow(4), m2::platform::OutlineItemPtr(projects));
        QCOMPARE(h.outline.itemAtRow(7), m2::platform::OutlineItemPtr());
        QCOMPARE(h.tree.model()->index(0, 0).data(QtOutlineView::IconNameRole).toString(),
                 QString("home-16"));
    }

    void removalsAndReloadsFollowTheModel() {
        m2::test::ScopedDocuments docs;
        Harness h;
        h.outline.expandItem(h.child(2).get());
        auto work = std::make_shared<FolderItem>("Work", h.child(2)->id, "folder-16");
        h.manager.newLibraryFolder(work, h.child(2));
        h.manager.newLibraryFolder(std::make_shared<FolderItem>("Deep", work->id, "folder-16"),
                                   work);
        h.outline.selectRowIndexes({3}, false);  // Documents

        // Removing a folder with its sub-folders, as the library operations do.
        QVERIFY(h.manager.deleteFolder(*work));
        h.outline.removeItems({0}, h.child(2).get(), m2::platform::OutlineAnimation::none);
        QCOMPARE(shownRows(h.tree), (Rows{"Home", "  Favourite", "  Encrypted", "  Documents"}));
        QCOMPARE(selectedLabel(h.tree), std::string("Documents"));

        // A cloud subtree hung in and reloaded: Home stays open, the selection stays.
        auto cloud = std::make_shared<FolderItem>("Cloud", "", "cloud", "CLOUD", true, "");
        h.manager.createCloudRoot(cloud);
        auto box = std::make_shared<FolderItem>("Dropbox", "CLOUD", "dropbox", "BOX", true, "/d");
        h.manager.addFolder(*cloud, box);
        h.outline.reloadData();
        h.outline.expandItem(cloud.get());
        QCOMPARE(shownRows(h.tree),
                 (Rows{"Home", "  Favourite", "  Encrypted", "  Documents", "Cloud", "  Dropbox"}));
        QCOMPARE(selectedLabel(h.tree), std::string("Documents"));

        // A rescan that replaces the provider folder with a new object and reorders.
        auto box2 = std::make_shared<FolderItem>("Dropbox", "CLOUD", "dropbox", "BOX", true, "/d");
        auto drive = std::make_shared<FolderItem>("Drive", "CLOUD", "drive", "DRIVE", true, "/g");
        cloud->children = {drive, box2};
        h.outline.selectRowIndexes({5}, false);  // the old Dropbox
        h.outline.reloadItem(cloud.get(), true);
        QCOMPARE(shownRows(h.tree), (Rows{"Home", "  Favourite", "  Encrypted", "  Documents",
                                          "Cloud", "  Drive", "  Dropbox"}));
        QCOMPARE(h.outline.selectedRow(), -1);  // its item is gone
        QVERIFY(h.source.changes > 0);

        // Wrong positions cannot make the view differ from the model.
        h.home()->children.erase(h.home()->children.begin());
        h.outline.removeItems({7}, h.home().get(), m2::platform::OutlineAnimation::none);
        QCOMPARE(shownRows(h.tree),
                 (Rows{"Home", "  Encrypted", "  Documents", "Cloud", "  Drive", "  Dropbox"}));
    }
};

QTEST_MAIN(QtOutlineViewTest)
#include "qt_outline_view_gui_test.moc"
