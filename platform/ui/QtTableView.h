#pragma once

#include <QtCore/Qt>
#include <memory>
#include <string>
#include <vector>

#include "platform/TableView.h"

class QTableView;

namespace m2::platform::ui {

class TableItemModel;

// The table interface over a QTableView. The QTableView is not owned (its window owns it);
// this object must be destroyed before it. The table has its own item model: no sort proxy,
// since the data source sorts itself, and a row count that changes only inside the insert,
// remove and reload notifications, because the source changes its lists before it tells the
// table.
class QtTableView final : public TableView {
  public:
    // The role under which a cell answers its image name.
    static constexpr int imageNameRole = Qt::UserRole + 1;

    QtTableView(QTableView* view, std::vector<TableColumn> columns);
    ~QtTableView() override;
    QtTableView(const QtTableView&) = delete;
    QtTableView& operator=(const QtTableView&) = delete;

    void setDataSource(TableDataSource* source) override;
    [[nodiscard]] int selectedRow() const override;
    [[nodiscard]] RowIndexes selectedRowIndexes() const override;
    void selectRowIndexes(const RowIndexes& rows, bool extendSelection) override;
    void deselectAll() override;
    [[nodiscard]] std::size_t numberOfRows() const override;
    void beginUpdates() override;
    void endUpdates() override;
    void insertRows(const RowIndexes& rows, TableAnimation animation) override;
    void removeRows(const RowIndexes& rows, TableAnimation animation) override;
    void reloadRows(const RowIndexes& rows, const RowIndexes& columns) override;
    void reloadData() override;

    [[nodiscard]] QTableView* widget() const { return view_; }

  private:
    // Reads the selected rows' identifiers while the rows and their source agree.
    void rememberSelectedEntries();

    QTableView* view_;
    std::unique_ptr<TableItemModel> model_;
    int depth_ = 0;
    // The source changes its lists before it tells the table: while the rows follow, the
    // selection the view reports is not read back into the entries.
    bool changingRows_ = false;
    RowIdentifiers selectedEntries_;
    std::string currentEntry_;
};

}  // namespace m2::platform::ui
