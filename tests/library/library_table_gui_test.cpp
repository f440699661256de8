#include <QHeaderView>
#include <QTableView>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "app/library/FileManager.h"
#include "platform/Workspace.h"
#include "platform/ui/QtTableView.h"
#include "support/ScopedDocuments.h"
#include "support/TestFiles.h"

using m2::FileItemPtr;
using m2::FileManager;
using m2::platform::ui::QtTableView;
using Names = std::vector<std::string>;

// The library list model driving a real QTableView through the table interface.
class LibraryTableTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::ScopedDocuments> docs_;
    std::unique_ptr<m2::test::TempDir> dir_;
    std::unique_ptr<FileManager> model_;
    std::unique_ptr<m2::LibraryTableSource> source_;
    std::unique_ptr<QTableView> widget_;
    std::unique_ptr<QtTableView> table_;

    Names viewColumn(int column) const {
        Names texts;
        const QAbstractItemModel* model = widget_->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            texts.push_back(model->data(model->index(row, column)).toString().toStdString());
        }
        return texts;
    }
    Names modelNames() const {
        Names names;
        for (const auto& item : model_->shownList()) {
            names.push_back(item->fileName);
        }
        return names;
    }
    void addFile(const std::string& name) { m2::test::writeFile(*dir_ / name, name); }

  private slots:
    void init() {
        docs_ = std::make_unique<m2::test::ScopedDocuments>();
        dir_ = std::make_unique<m2::test::TempDir>();
        model_ = std::make_unique<FileManager>();
        source_ = std::make_unique<m2::LibraryTableSource>(*model_);
        widget_ = std::make_unique<QTableView>();
        table_ = std::make_unique<QtTableView>(widget_.get(), m2::LibraryTableSource::columns());
        table_->setDataSource(source_.get());
        model_->tableView = table_.get();
        widget_->show();
        for (const auto* name : {"c.txt", "a.txt", "b.m2p"}) {
            addFile(name);
            (void)model_->addFileToLibrary((*dir_ / name).string(), "U",
                                           m2::platform::fileUrlText((*dir_ / name).string()),
                                           false);
        }
        model_->setView("U");
        table_->reloadData();
    }
    void cleanup() {
        table_.reset();
        widget_.reset();
        source_.reset();
        model_.reset();
        dir_.reset();
        docs_.reset();
    }

    void showsTheModelsListThroughEveryChange() {
        QCOMPARE(viewColumn(1), modelNames());
        QCOMPARE(viewColumn(1), (Names{"c.txt", "a.txt", "b.m2p"}));

        // Rows inserted by an add.
        addFile("d.txt");
        addFile("e.txt");
        model_->addFilesByUrl({(*dir_ / "d.txt").string(), (*dir_ / "e.txt").string()}, false, "U");
        QCOMPARE(viewColumn(1), modelNames());
        QCOMPARE(widget_->model()->rowCount(), 5);

        // Rows removed by a delete.
        table_->selectRowIndexes({0, 3}, false);
        model_->deleteFiles();
        QCOMPARE(viewColumn(1), (Names{"a.txt", "b.m2p", "e.txt"}));

        // A search, and a delete of the searched rows.
        model_->filter("TXT");
        table_->reloadData();
        QCOMPARE(viewColumn(1), (Names{"a.txt", "e.txt"}));
        table_->selectRowIndexes({1}, false);
        model_->deleteFiles();
        QCOMPARE(viewColumn(1), Names{"a.txt"});
        model_->filter("");
        table_->reloadData();
        QCOMPARE(viewColumn(1), (Names{"a.txt", "b.m2p"}));

        // A folder's entries removed: the table is reloaded from what is left.
        model_->folderDelete("U");
        QCOMPARE(widget_->model()->rowCount(), 0);
    }

    void headerClicksSortAndFavouritesRedraw() {
        widget_->horizontalHeader()->setSortIndicator(1, Qt::AscendingOrder);
        QCOMPARE(viewColumn(1), (Names{"a.txt", "b.m2p", "c.txt"}));
        widget_->horizontalHeader()->setSortIndicator(2, Qt::DescendingOrder);
        QCOMPARE(viewColumn(1), (Names{"b.m2p", "a.txt", "c.txt"}));
        QCOMPARE(viewColumn(2), (Names{"", "-", "-"}));

        table_->selectRowIndexes({1}, false);
        model_->toggleFavourite();
        QCOMPARE(viewColumn(0), (Names{"-", "", "-"}));
        QCOMPARE(widget_->model()
                     ->data(widget_->model()->index(1, 0), QtTableView::imageNameRole)
                     .toString(),
                 QString("favorite-16"));
        QCOMPARE(viewColumn(1), modelNames());
    }
};

QTEST_MAIN(LibraryTableTest)
#include "library_table_gui_test.moc"
