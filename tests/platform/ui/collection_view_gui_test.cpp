#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/CollectionView.h"

using m2::platform::IndexPath;
using m2::platform::IndexPathSet;
using m2::platform::ui::CollectionViewItem;
using m2::platform::ui::CollectionViewWidget;
using m2::platform::ui::QtCollectionView;

namespace {

// A tile with one label, as the note tiles have.
class LabelTile : public CollectionViewItem {
  public:
    QLabel* title = nullptr;

  protected:
    void loadView() override {
        auto* view = new QWidget;
        title = new QLabel(view);
        (new QVBoxLayout(view))->addWidget(title);
        setView(view);
    }
};

// Sections of named tiles; records what the grid asked and what the user selected.
class Tiles final : public m2::platform::ui::CollectionViewDataSource,
                    public m2::platform::ui::CollectionViewDelegate {
  public:
    std::vector<std::vector<std::string>> sections;
    std::vector<std::string> changes;
    std::vector<IndexPathSet> selectionSeenWhileMaking;
    bool reloadOnSelect = false;

    std::size_t numberOfSections(CollectionViewWidget&) override { return sections.size(); }
    std::size_t numberOfItemsInSection(CollectionViewWidget&, std::size_t section) override {
        return sections[section].size();
    }
    CollectionViewItem* itemForIndexPath(CollectionViewWidget& view,
                                         const IndexPath& path) override {
        selectionSeenWhileMaking.push_back(view.selectionIndexPaths());
        auto* tile = static_cast<LabelTile*>(view.makeItemWithIdentifier("tile", path));
        tile->title->setText(QString::fromStdString(sections[path.section][path.item]));
        return tile;
    }
    void didSelectItemsAtIndexPaths(CollectionViewWidget& view,
                                    const IndexPathSet& paths) override {
        changes.push_back("select " + describe(paths));
        if (reloadOnSelect) {
            view.reloadData();  // as the notes store does after a change from a tile
        }
    }
    void didDeselectItemsAtIndexPaths(CollectionViewWidget&, const IndexPathSet& paths) override {
        changes.push_back("deselect " + describe(paths));
    }

    static std::string describe(const IndexPathSet& paths) {
        std::string text;
        for (const IndexPath& path : paths) {
            text += (text.empty() ? "" : " ") + std::to_string(path.section) + "." +
                    std::to_string(path.item);
        }
        return text;
    }
};

}  // namespace

class CollectionViewTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CollectionViewWidget> view_;
    Tiles tiles_;

  private slots:
    void init() {
        tiles_ = Tiles{};
        tiles_.sections = {{"a", "b", "c", "d"}, {"e"}, {}};
        view_ = std::make_unique<CollectionViewWidget>();
        view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view_->registerItem("tile", [] { return std::make_unique<LabelTile>(); });
        view_->setDataSource(&tiles_);
        view_->setDelegate(&tiles_);
        // The notes grid's numbers: 128 x 104 tiles, insets 30 top, 20 left, 10 bottom,
        // 20 right, 10 between tiles and between rows.
        view_->setItemSize(QSize(128, 104));
        view_->setSectionInset(QMargins(20, 30, 20, 10));
        view_->setMinimumInteritemSpacing(10);
        view_->setMinimumLineSpacing(10);
        view_->setFrameShape(QFrame::NoFrame);
        view_->resize(500, 400);
        view_->show();
        view_->reloadData();
    }
    void cleanup() { view_.reset(); }

    void flowsTilesInRowsPerSection() {
        // 460 points between the insets hold three 128-point tiles with 10 between them.
        QCOMPARE(view_->numberOfSections(), std::size_t(3));
        QCOMPARE(view_->frameForItemAtIndexPath({0, 0}), QRect(20, 30, 128, 104));
        QCOMPARE(view_->frameForItemAtIndexPath({0, 2}), QRect(296, 30, 128, 104));
        QCOMPARE(view_->frameForItemAtIndexPath({0, 3}), QRect(20, 144, 128, 104));
        // Section 0 is 30 + 104 + 10 + 104 + 10 = 258 high; section 1 starts below it.
        QCOMPARE(view_->frameForItemAtIndexPath({1, 0}), QRect(20, 288, 128, 104));
        QCOMPARE(view_->contentHeight(), 258 + 144 + 40);
        QCOMPARE(view_->frameForItemAtIndexPath({2, 0}), QRect());
        QCOMPARE(view_->frameForItemAtIndexPath({0, 4}), QRect());
        QCOMPARE(view_->itemAtIndexPath({0, 2})->view()->geometry(), QRect(296, 30, 128, 104));
        view_->setBackgroundColor(Qt::white);
        QDir().mkpath(M2_BINARY_DIR "/screenshots");
        QVERIFY(view_->grab().save(M2_BINARY_DIR "/screenshots/collection_view.png"));

        // Narrower: two tiles a row; the tiles move with the width.
        view_->resize(320, 400);
        QCOMPARE(view_->frameForItemAtIndexPath({0, 2}), QRect(20, 144, 128, 104));
        QCOMPARE(view_->itemAtIndexPath({0, 2})->view()->geometry(), QRect(20, 144, 128, 104));
        // Too narrow for one: still one a row.
        view_->resize(100, 400);
        QCOMPARE(view_->frameForItemAtIndexPath({0, 1}), QRect(20, 144, 128, 104));
    }

    void clicksSelectAndTellTheDelegate() {
        view_->clickItem({0, 1}, false);
        view_->clickItem({1, 0}, false);
        view_->clickItem({1, 0}, false);  // already selected: no news
        QCOMPARE(view_->selectionIndexPaths(), (IndexPathSet{{1, 0}}));
        QVERIFY(view_->itemAtIndexPath({1, 0})->isSelected());
        QVERIFY(!view_->itemAtIndexPath({0, 1})->isSelected());
        // Extending adds only when several may be selected.
        view_->clickItem({0, 0}, true);
        view_->setAllowsMultipleSelection(true);
        view_->clickItem({0, 3}, true);
        view_->clickItem({0, 0}, true);  // taken out again
        QCOMPARE(view_->selectionIndexPaths(), (IndexPathSet{{0, 3}}));
        const std::vector<std::string> expected{"select 0.1",   "deselect 0.1", "select 1.0",
                                                "deselect 1.0", "select 0.0",   "select 0.3",
                                                "deselect 0.0"};
        QCOMPARE(tiles_.changes, expected);
    }

    void aMouseClickOnATileSelectsIt() {
        auto* tile = static_cast<LabelTile*>(view_->itemAtIndexPath({0, 2}));
        QTest::mouseClick(tile->title, Qt::LeftButton);
        QCOMPARE(view_->selectionIndexPaths(), (IndexPathSet{{0, 2}}));
        QTest::mouseClick(view_->widget(), Qt::LeftButton, {}, QPoint(5, 5));  // between tiles
        QVERIFY(view_->selectionIndexPaths().empty());
        QCOMPARE(tiles_.changes, (std::vector<std::string>{"select 0.2", "deselect 0.2"}));
    }

    void reloadKeepsTheSelectionThatStillExists() {
        view_->setAllowsMultipleSelection(true);
        view_->selectItemsAtIndexPaths({{0, 3}, {1, 0}}, false);
        QVERIFY(tiles_.changes.empty());  // code changing the selection is not news
        tiles_.sections = {{"a", "b"}, {"e"}};
        tiles_.selectionSeenWhileMaking.clear();
        view_->reloadData();
        QCOMPARE(view_->selectionIndexPaths(), (IndexPathSet{{1, 0}}));
        // The data source already sees the pruned selection while it remakes the tiles.
        QCOMPARE(tiles_.selectionSeenWhileMaking.front(), (IndexPathSet{{1, 0}}));
        QVERIFY(view_->itemAtIndexPath({1, 0})->isSelected());
        QCOMPARE(view_->itemAtIndexPath({0, 3}), nullptr);
        view_->selectItemsAtIndexPaths({{5, 5}}, true);  // out of range: ignored
        QCOMPARE(view_->selectionIndexPaths(), (IndexPathSet{{1, 0}}));
    }

    void aTileMayReloadTheGridFromItsOwnClick() {
        tiles_.reloadOnSelect = true;
        QPointer<CollectionViewItem> old = view_->itemAtIndexPath({0, 0});
        auto* title = static_cast<LabelTile*>(old.data())->title;
        const auto tileCount = [this] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return view_->findChildren<CollectionViewItem*>().size();
        };
        const auto before = tileCount();
        QTest::mouseClick(title, Qt::LeftButton);
        QVERIFY(old != nullptr);        // alive while its own click runs
        QCOMPARE(tileCount(), before);  // the old tiles were handed out again, none leaked
        QVERIFY(old != nullptr);
        auto* shown = static_cast<LabelTile*>(view_->itemAtIndexPath({0, 0}));
        QCOMPARE(shown->title->text(), QString::fromStdString(tiles_.sections[0][0]));
        QVERIFY(shown->view()->isVisibleTo(view_.get()));
        QCOMPARE(view_->selectionIndexPaths(), (IndexPathSet{{0, 0}}));
    }

    void storeInterfaceFollowsTheWidgetWhileItLives() {
        QtCollectionView grid(view_.get());
        view_->selectItemsAtIndexPaths({{0, 1}}, false);
        QCOMPARE(grid.selectionIndexPaths(), (IndexPathSet{{0, 1}}));
        tiles_.sections = {{"only"}};
        grid.reloadData();
        QCOMPARE(view_->numberOfItemsInSection(0), std::size_t(1));
        QVERIFY(grid.selectionIndexPaths().empty());
        view_.reset();
        grid.reloadData();  // the window went first: nothing happens
        QVERIFY(grid.selectionIndexPaths().empty());
    }
};

QTEST_MAIN(CollectionViewTest)
#include "collection_view_gui_test.moc"
