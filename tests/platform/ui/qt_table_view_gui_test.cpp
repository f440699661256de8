#include <QHeaderView>
#include <QTableView>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/QtTableView.h"

using m2::platform::RowIndexes;
using m2::platform::TableAnimation;
using m2::platform::TableCell;
using m2::platform::TableColumn;
using m2::platform::ui::QtTableView;

namespace {

// A list of names that sorts itself and tells its table, as the library model does.
class NamesSource final : public m2::platform::TableDataSource {
  public:
    std::vector<std::string> names;
    m2::platform::TableView* table = nullptr;
    std::vector<std::string> sortKeys;
    bool identified = true;  // each name is its row's identifier

    std::size_t numberOfRows() const override { return names.size(); }
    TableCell cell(std::size_t row, const std::string& column) const override {
        if (row >= names.size()) {
            return {};
        }
        return column == "name" ? TableCell{names[row], ""} : TableCell{"-", "star-16"};
    }
    void sortDescriptorsDidChange(const std::string& key, bool ascending) override {
        sortKeys.push_back(key);
        std::sort(names.begin(), names.end());
        if (!ascending) {
            std::reverse(names.begin(), names.end());
        }
        table->reloadData();
    }
    std::string rowIdentifier(std::size_t row) const override {
        return identified && row < names.size() ? names[row] : std::string();
    }
};

}  // namespace

class QtTableViewTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTableView> widget_;
    std::unique_ptr<QtTableView> table_;
    NamesSource source_;

    // What the real view shows, read through its model as a painter would.
    std::vector<std::string> shown() const {
        std::vector<std::string> names;
        const QAbstractItemModel* model = widget_->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            names.push_back(model->data(model->index(row, 1)).toString().toStdString());
        }
        return names;
    }

  private slots:
    void init() {
        widget_ = std::make_unique<QTableView>();
        table_ = std::make_unique<QtTableView>(
            widget_.get(),
            std::vector<TableColumn>{{"favorite", "", "favourite"}, {"name", "Name", "fileName"}});
        source_ = NamesSource{};
        source_.names = {"b", "d"};
        source_.table = table_.get();
        table_->setDataSource(&source_);
        widget_->show();
    }
    void cleanup() {
        table_.reset();
        widget_.reset();
    }

    void showsTheSourceAfterInsertsRemovalsAndReloads() {
        QCOMPARE(shown(), (std::vector<std::string>{"b", "d"}));

        // The source changes first, then tells the table where the rows went.
        source_.names = {"a", "b", "c", "d", "e"};
        table_->beginUpdates();
        table_->insertRows({0, 2, 4}, TableAnimation::slideDown);
        table_->endUpdates();
        QCOMPARE(shown(), source_.names);

        source_.names = {"b", "d"};
        table_->removeRows({0, 2, 4}, TableAnimation::fade);
        QCOMPARE(shown(), source_.names);

        source_.names = {"x"};
        table_->reloadData();
        QCOMPARE(shown(), source_.names);
        QCOMPARE(widget_->model()
                     ->data(widget_->model()->index(0, 0), QtTableView::imageNameRole)
                     .toString(),
                 QString("star-16"));
    }

    void rowCountWaitsForTheNotification() {
        // Until the table is told, it keeps its count and answers nothing for missing rows.
        source_.names = {"b"};
        QCOMPARE(widget_->model()->rowCount(), 2);
        QVERIFY(!widget_->model()->data(widget_->model()->index(1, 1)).isValid());
        table_->removeRows({1}, TableAnimation::fade);
        QCOMPARE(shown(), source_.names);
    }

    void positionsOutsideTheTableFallBackToAReload() {
        source_.names = {"a", "b", "c"};
        table_->insertRows({7}, TableAnimation::slideDown);
        QCOMPARE(shown(), source_.names);
        source_.names = {"a"};
        table_->removeRows({1, 9}, TableAnimation::fade);
        QCOMPARE(shown(), source_.names);
        table_->reloadRows({0, 5}, {0, 1, 9});  // out of range parts are skipped
        QCOMPARE(table_->numberOfRows(), std::size_t{1});
    }

    void unmatchedEndOfUpdatesIsIgnored() {
        table_->endUpdates();
        table_->beginUpdates();
        QVERIFY(!widget_->updatesEnabled());
        table_->endUpdates();
        table_->endUpdates();
        QVERIFY(widget_->updatesEnabled());
        table_->beginUpdates();
        QVERIFY(!widget_->updatesEnabled());
        table_->endUpdates();
    }

    void selectionFollowsEntriesThroughRemovalsSortsAndReloads() {
        source_.names = {"a", "b", "c", "d"};
        table_->reloadData();
        QCOMPARE(table_->selectedRow(), -1);
        table_->selectRowIndexes({1, 3}, false);
        QCOMPARE(table_->selectedRowIndexes(), (RowIndexes{1, 3}));
        QCOMPARE(table_->selectedRow(), 3);

        source_.names = {"a", "c", "d"};
        table_->removeRows({1}, TableAnimation::fade);
        QCOMPARE(table_->selectedRowIndexes(), (RowIndexes{2}));

        table_->selectRowIndexes({0}, true);
        source_.names = {"a", "c"};
        table_->reloadData();  // "d" is gone
        QCOMPARE(table_->selectedRowIndexes(), (RowIndexes{0}));
        QCOMPARE(table_->selectedRow(), 0);

        // A sort moves the entry; the selection goes with it.
        widget_->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder);
        QCOMPARE(shown(), (std::vector<std::string>{"c", "a"}));
        QCOMPARE(table_->selectedRowIndexes(), (RowIndexes{1}));

        // Other entries in the same rows are not selected, whatever their positions.
        source_.names = {"x", "y"};
        table_->reloadData();
        QVERIFY(table_->selectedRowIndexes().empty());
        QCOMPARE(table_->selectedRow(), -1);
        // Nor when the entry comes back later: what the user saw selected was let go.
        source_.names = {"a", "y"};
        table_->reloadData();
        QVERIFY(table_->selectedRowIndexes().empty());
    }

    void withoutIdentifiersOrAfterDeselectingAReloadSelectsNothing() {
        source_.names = {"a", "b"};
        table_->reloadData();
        table_->selectRowIndexes({0, 1}, false);
        table_->deselectAll();
        QVERIFY(table_->selectedRowIndexes().empty());
        table_->reloadData();
        QVERIFY(table_->selectedRowIndexes().empty());

        source_.identified = false;
        table_->selectRowIndexes({1}, false);
        table_->reloadData();
        QVERIFY(table_->selectedRowIndexes().empty());
    }

    void headerClickAsksTheSourceToSort() {
        source_.names = {"c", "a", "b"};
        table_->reloadData();
        widget_->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder);
        QCOMPARE(source_.sortKeys, (std::vector<std::string>{"fileName"}));
        QCOMPARE(shown(), (std::vector<std::string>{"c", "b", "a"}));
        widget_->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
        QCOMPARE(source_.sortKeys, (std::vector<std::string>{"fileName", "favourite"}));
        QCOMPARE(shown(), (std::vector<std::string>{"a", "b", "c"}));
    }
};

QTEST_MAIN(QtTableViewTest)
#include "qt_table_view_gui_test.moc"
